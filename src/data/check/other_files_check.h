#pragma once
// The shop offers and the stat headings, checked the way the game reads them.
#include "data/check/data_file.h"
#include "data/check/definition_check.h"
#include "data/check/report.h"

namespace delve::check {

// Shop numbers 1 to 18 read the records 1701 to 1718.
constexpr int kFirstShopRecord = 1701;
constexpr int kLastShopRecord = 1718;

void checkShops(DataFile& file, Report& report);
// `definition` tells how many stats the members have.
void checkStatHeadings(DataFile& file, const Definition& definition, Report& report);

}  // namespace delve::check
