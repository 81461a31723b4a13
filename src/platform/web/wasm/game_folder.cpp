#include "platform/web/wasm/game_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

namespace delve {

void makeFoldersWritable(const std::string& root) {
    std::vector<std::string> folders{root};
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        ::chmod(folder.c_str(), 0755);
        DIR* d = ::opendir(folder.c_str());
        if (!d) continue;
        while (const dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            const std::string path = folder + "/" + e->d_name;
            struct stat st;
            if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) folders.push_back(path);
        }
        ::closedir(d);
    }
}

}  // namespace delve
