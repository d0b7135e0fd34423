#pragma once

#include "TTable.h"

namespace talvern::db {

// Links one table to the controls and grid that show it (DataSource1..3). Controls subscribe through it, so
// a page can be pointed at another table or switched off in one place.
class TDataSource {
public:
    explicit TDataSource(TTable* dataSet = nullptr, std::string objectName = {})
        : m_dataSet(dataSet), m_objectName(std::move(objectName)) {}

    TTable* dataSet() const { return m_dataSet; }
    void setDataSet(TTable* dataSet) { m_dataSet = dataSet; }
    const std::string& objectName() const { return m_objectName; }

    // Subscribes to the table's notifications. Returns an empty subscription when no table is linked.
    Subscription subscribe(TableListener listener) {
        return m_dataSet ? m_dataSet->subscribe(std::move(listener)) : Subscription();
    }

private:
    TTable* m_dataSet;
    std::string m_objectName;
};

} // namespace talvern::db
