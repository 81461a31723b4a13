#include "data/check/other_files_check.h"
#include "platform/numbers.h"

namespace delve::check {

namespace {

std::string recordKey(int id, const std::string& field) { return "m0i/" + std::to_string(id) + "/" + field; }

const char* const kTextFields[] = {"m0s$", "m1s$"};
const char* const kNumberFields[] = {"m1i", "m2i"};

}  // namespace

void checkShops(DataFile& file, Report& report) {
    if (!file.present || file.oneLine) return;
    for (int id = kFirstShopRecord; id <= kLastShopRecord; ++id) {
        bool any = false;
        for (const char* field : kTextFields) any = any || lineOfKey(file, recordKey(id, field)) > 0;
        for (const char* field : kNumberFields) any = any || lineOfKey(file, recordKey(id, field)) > 0;
        if (!any) {
            addFinding(report, file.shownName, 0,
                       "shop record " + std::to_string(id) + " is missing; a level with shop number " +
                           std::to_string(id - 1700) + " offers \"%%\" for 0GP");
            continue;
        }
        for (const char* field : kTextFields) requireText(file, recordKey(id, field), report);
        for (const char* field : kNumberFields) requireNumber(file, recordKey(id, field), report);
    }
    std::vector<std::pair<size_t, std::string>> unread;
    for (size_t i : unreadPairs(file)) {
        const std::string key = toLowerAscii(file.store.pairs[i].key);
        std::string why = "never read by the game (a shop record has the keys m0i/<id>/m0s$, m1s$, m1i and m2i)";
        if (key.rfind("m0i/", 0) == 0) {
            const double id = readLeadingNumber(key.substr(4));
            if (id < kFirstShopRecord || id > kLastShopRecord)
                why = "never read by the game: shop records run from 1701 to 1718";
        }
        unread.push_back({i, why});
    }
    reportUnread(file, unread, report);
}

}  // namespace delve::check
