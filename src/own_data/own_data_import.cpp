#include "own_data/own_data_import.h"

#include <filesystem>
#include <set>
#include <sstream>
#include <system_error>

#include "data/check/folder_check.h"
#include "data/check/report.h"
#include "own_data/data_link.h"
#include "platform/system.h"

namespace delve {

void listZip(OwnDataImport& import, const uint8_t* bytes, size_t size, const OwnDataLimits& limits) {
    ZipListing listing = readZipDirectory(bytes, size, limits.maxFiles);
    if (!listing.problem.empty()) {
        import.problem = listing.problem;
        return;
    }
    import.zipEntries = std::move(listing.entries);
    for (const ZipEntry& entry : import.zipEntries) import.files.push_back({entry.name, entry.size});
}

void addFolderFile(OwnDataImport& import, const std::string& path, uint64_t size) {
    import.files.push_back({path, size});
}

bool listDataLink(OwnDataImport& import, const uint8_t* bytes, size_t size, const OwnDataLimits& limits) {
    DataLinkListing listing = readDataLinkListing(bytes, size, limits.maxFiles);
    import.problem = listing.problem;
    if (!import.problem.empty()) return false;
    import.files = std::move(listing.files);
    import.linked.assign(reinterpret_cast<const char*>(bytes), size);
    import.linkedBodyAt = listing.bodyAt;
    return true;
}

bool listZipEnd(OwnDataImport& import, const uint8_t* tail, size_t tailSize, uint64_t fileSize,
                const OwnDataLimits& limits) {
    import.zipEnd = readZipEnd(tail, tailSize, fileSize, limits.maxFiles);
    import.problem = import.zipEnd.problem;
    return import.problem.empty();
}

bool listZipEntries(OwnDataImport& import, const uint8_t* directory, size_t size) {
    if (!import.problem.empty()) return false;
    if (size != import.zipEnd.directorySize) {
        import.problem = "it could not be read (its listing came short)";
        return false;
    }
    ZipListing listing = readZipEntries(directory, import.zipEnd);
    import.problem = listing.problem;
    import.zipEntries = std::move(listing.entries);
    for (const ZipEntry& entry : import.zipEntries) import.files.push_back({entry.name, entry.size});
    return import.problem.empty();
}

bool placeZipHeader(OwnDataImport& import, size_t index, const uint8_t* header, size_t size) {
    if (!import.problem.empty() || index >= import.zipEntries.size()) return false;
    import.problem = placeZipEntry(import.zipEntries[index], header, size, import.zipEnd);
    return import.problem.empty();
}

bool planImport(OwnDataImport& import, const OwnDataLimits& limits) {
    if (!import.problem.empty()) return false;
    for (const ZipEntry& entry : import.zipEntries) {
        if (entry.dataOffset == 0) {
            import.problem = "it is damaged (" + entry.name + " is not where its listing says)";
            return false;
        }
    }
    import.plan = planOwnData(import.files, limits);
    import.problem = import.plan.problem;
    return import.problem.empty();
}

bool storeTaken(OwnDataImport& import, size_t k, const uint8_t* bytes, size_t size) {
    if (!import.problem.empty() || k >= import.plan.take.size()) return false;
    const auto& [index, path] = import.plan.take[k];
    const OwnFile& file = import.files[index];
    // The page stops unpacking one byte past the stated size: a zip bomb
    // that understates its sizes ends here.
    if (size != file.size) {
        import.problem = file.path + " unpacks to " + (size > file.size ? "more than" : "fewer than") + " the " +
                         std::to_string(file.size) + " bytes its listing states";
        return false;
    }
    if (index < import.zipEntries.size() && zipCrc32(bytes, size) != import.zipEntries[index].crc32) {
        import.problem = file.path + " is damaged (its contents do not match its checksum)";
        return false;
    }
    if (!writeOwnFile(import.root, path, bytes, size)) {
        import.problem = path + " could not be written into the page's files";
        return false;
    }
    return true;
}

bool storeDataLink(OwnDataImport& import) {
    if (!import.problem.empty()) return false;
    // Where each file's bytes begin, from the sizes the listing states; the
    // plan has refused a total past its limit, so the sum cannot overflow.
    std::vector<uint64_t> at(import.files.size() + 1, import.linkedBodyAt);
    for (size_t i = 0; i < import.files.size(); ++i) at[i + 1] = at[i] + import.files[i].size;
    const uint64_t held = import.linked.size() - import.linkedBodyAt;
    const uint64_t stated = at.back() - import.linkedBodyAt;
    if (held != stated) {
        import.problem = "it is damaged or cut short (its files hold " + std::to_string(held) +
                         " bytes where its listing states " + std::to_string(stated) + ")";
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(import.linked.data());
    for (size_t k = 0; k < import.plan.take.size(); ++k) {
        const size_t index = import.plan.take[k].first;
        if (!storeTaken(import, k, bytes + at[index], static_cast<size_t>(import.files[index].size))) return false;
    }
    return true;
}

bool removeImported(const OwnDataImport& import) {
    // By name rather than by listing the folders: the page's file system
    // copies a folder's whole listing for every few names read from it, so
    // listing ten thousand files takes seconds.
    std::set<std::string> folders;
    for (const auto& [index, path] : import.plan.take) {
        std::error_code ec;
        std::filesystem::remove(pathOf(import.root + "/" + path), ec);
        for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
             slash = path.rfind('/', slash - 1)) {
            if (!folders.insert(path.substr(0, slash)).second) break;  // and so are the ones above it
        }
    }
    // A folder sorts before everything in it.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        std::error_code ec;
        std::filesystem::remove(pathOf(import.root + "/" + *folder), ec);
    }
    return removeOwnFiles(import.root);
}

OwnDataCheck checkImported(const OwnDataImport& import) {
    OwnDataCheck result;
    check::Report report;
    const check::FolderCheck checked = check::checkGameFolder(import.root, report);
    result.problem = checked.problem;
    result.tiles = checked.tiles;
    std::ostringstream out;
    check::printFindings(out, report);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
    return result;
}

}  // namespace delve
