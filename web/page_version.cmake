# cmake -DDIR=... -DTEMPLATE=web/sw.js -DFILES=a,b,... -P web/page_version.cmake
# Writes DIR/sw.js from TEMPLATE with the page's version: SHA-256 over the
# lines "<SHA-256 of the file> <name>\n" of FILES in DIR, in the given order
# (the service worker checks what it fetches against the same digest).
string(REPLACE "," ";" FILES "${FILES}")
foreach(name IN LISTS FILES)
  file(SHA256 "${DIR}/${name}" sum)
  string(APPEND lines "${sum} ${name}\n")
  list(APPEND quoted "'${name}'")
endforeach()
string(SHA256 DELVE_PAGE_DIGEST "${lines}")
list(JOIN quoted ", " DELVE_PAGE_FILES)
configure_file("${TEMPLATE}" "${DIR}/sw.js" @ONLY)
