#pragma once
// A player's own data files taken into the page's file system in place of the
// shipped ones, as `delve --data DIR` plays a folder on the desktop. The page
// hands over a zip's bytes or a folder's list of files; this decides what is
// taken (own_data_plan), takes each file's unpacked bytes only when they are
// what the listing promised, and checks the result with delve-check's checks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "own_data/own_data_plan.h"
#include "own_data/zip_directory.h"

namespace delve {

struct OwnDataImport {
    std::string root;                  // where the files go; the game plays it as its folder
    std::vector<OwnFile> files;        // every file offered, by path and stated size
    std::vector<ZipEntry> zipEntries;  // for a zip: where each file's bytes are, and their CRC
    ZipEnd zipEnd;                     // for a zip read a piece at a time: where its listing is
    std::string linked;                // for a dungeon link: its unpacked bytes (data_link.h)
    size_t linkedBodyAt = 0;           // where the first file's bytes begin in them
    OwnDataPlan plan;
    std::string problem;  // why the data cannot be played; empty while it can
};

// The files of a zip, from its listing; sets `problem` when it cannot be read.
void listZip(OwnDataImport& import, const uint8_t* bytes, size_t size, const OwnDataLimits& limits = {});
void addFolderFile(OwnDataImport& import, const std::string& path, uint64_t size);
// The files of a dungeon link's unpacked bytes (data_link.h), which the
// import keeps until storeDataLink takes them.
bool listDataLink(OwnDataImport& import, const uint8_t* bytes, size_t size, const OwnDataLimits& limits = {});

// The same for a zip read a piece at a time (zip_directory's three steps):
// its last bytes, then its listing, then each entry's local header; false,
// with `problem` set, when it cannot be read. Until every entry's header is
// placed, nothing can be planned.
bool listZipEnd(OwnDataImport& import, const uint8_t* tail, size_t tailSize, uint64_t fileSize,
                const OwnDataLimits& limits = {});
bool listZipEntries(OwnDataImport& import, const uint8_t* directory, size_t size);
bool placeZipHeader(OwnDataImport& import, size_t index, const uint8_t* header, size_t size);

// Decides which files to take. False, with `problem` set, when none can be.
bool planImport(OwnDataImport& import, const OwnDataLimits& limits = {});

// Takes the unpacked bytes of the k-th file of the plan. False, with `problem`
// set, when they are not what the listing stated or cannot be written.
bool storeTaken(OwnDataImport& import, size_t k, const uint8_t* bytes, size_t size);
// Every file a plan takes from a dungeon link, once its files' bytes are
// found to be just what its listing states, no more and no less.
bool storeDataLink(OwnDataImport& import);

// Removes what the import wrote below its root, and the root: the files by
// the plan's paths, then the folders made for them, deepest first, then
// anything else below the root. False when something is left.
bool removeImported(const OwnDataImport& import);

struct OwnDataCheck {
    std::vector<std::string> lines;  // delve-check's findings, one line each, as it prints them
    int tiles = 0;
    std::string problem;  // why the folder could not be checked at all
};

// The taken files checked as delve-check checks a game folder.
OwnDataCheck checkImported(const OwnDataImport& import);

}  // namespace delve
