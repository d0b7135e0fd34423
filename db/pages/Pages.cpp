#include "Pages.h"

namespace talvern {

TablePages createTablePages(db::TTable& users, db::TTable& readers, db::TTable& groups) {
    TablePages pages;
    pages.users = new UsersPage(users, groups);
    pages.groups = new GroupsPage(groups, users, readers);
    pages.readers = new ReadersPage(readers);
    GroupsPage* groupsPage = pages.groups;
    pages.readers->setRefreshReaderHints([groupsPage] { groupsPage->RefreshReaderHints(); });
    return pages;
}

} // namespace talvern
