#pragma once

#include "Report.h"

namespace talvern::db::reports {

// Users whose card would open nothing for want of a group: "Lack of assignment!", an empty GROUP, or a
// GROUP that no group bears.
class UsersWithoutGroup : public Report {
public:
    std::string caption() const override;
    ReportTable build(SiteTables& site, int) const override;
};

// Groups none of whose 96 access fields is true.
class GroupsOpeningNoReader : public Report {
public:
    std::string caption() const override;
    ReportTable build(SiteTables& site, int) const override;
};

// Readers whose access field is false in every group.
class ReadersNoGroupOpens : public Report {
public:
    std::string caption() const override;
    ReportTable build(SiteTables& site, int) const override;
};

// Groups no user reaches: no user's GROUP bears their name, or an earlier group bears the same name.
class GroupsWithoutUsers : public Report {
public:
    std::string caption() const override;
    ReportTable build(SiteTables& site, int) const override;
};

// Users bearing the same first name and surname once letter case and letter marks are set aside.
class PossibleDuplicates : public Report {
public:
    std::string caption() const override;
    ReportTable build(SiteTables& site, int) const override;
};

} // namespace talvern::db::reports
