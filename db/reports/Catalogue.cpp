#include "AccessReports.h"
#include "CardReports.h"
#include "GapReports.h"

namespace talvern::db::reports {

std::vector<std::unique_ptr<Report>> reportCatalogue() {
    std::vector<std::unique_ptr<Report>> all;
    all.push_back(std::make_unique<WhoCanOpenReader>());
    all.push_back(std::make_unique<WhatUserCanOpen>());
    all.push_back(std::make_unique<UsersWithoutGroup>());
    all.push_back(std::make_unique<GroupsOpeningNoReader>());
    all.push_back(std::make_unique<ReadersNoGroupOpens>());
    all.push_back(std::make_unique<GroupsWithoutUsers>());
    all.push_back(std::make_unique<PossibleDuplicates>());
    all.push_back(std::make_unique<CardsToRewrite>());
    all.push_back(std::make_unique<LostCards>());
    return all;
}

} // namespace talvern::db::reports
