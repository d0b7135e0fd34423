#pragma once

#include "Report.h"

namespace talvern::db::reports {

// The users whose group opens reader N, with the reader's name in the title.
class WhoCanOpenReader : public Report {
public:
    std::string caption() const override;
    Needs needs() const override { return Needs::Reader; }
    ReportTable build(SiteTables& site, int reader) const override;
};

// The readers one user's group opens, with their names; none for a user whose GROUP names no group.
class WhatUserCanOpen : public Report {
public:
    std::string caption() const override;
    Needs needs() const override { return Needs::User; }
    ReportTable build(SiteTables& site, int userRecNo) const override;
};

} // namespace talvern::db::reports
