// The parameters page and the CSV "display" format write every value from one table: the
// same text for each field, and a change in the table reaches both.
#include "link/EngineData.h"
#include "ui/CsvRow.h"
#include "ui/DisplayFormat.h"
#include "ui/TFrameParameter.h"

#include "SampleEngineData.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ecu::test {
namespace {

// The row's fields after "record,decoded", one per field of the table.
std::vector<std::string> DisplayColumns(const EngineData& data, const DisplayTable& table) {
    std::string row = CsvRow(0, true, data, CsvFormat::Display, table);
    row.pop_back();
    std::vector<std::string> columns;
    std::stringstream in(row);
    for (std::string column; std::getline(in, column, ',');)
        columns.push_back(column);
    columns.erase(columns.begin(), columns.begin() + 2);
    return columns;
}

// Shows data on a page reading table; every edit the table names must read as the CSV column.
void ExpectPageAndCsvAgree(const DisplayTable& table, const EngineData& data) {
    TFrameParameter page(data, nullptr, table);
    page.ShowParameters();
    const std::vector<std::string> columns = DisplayColumns(data, table);
    ASSERT_EQ(columns.size(), kFieldCount);
    int shown = 0;
    for (const FieldFormat& field : table) {
        if (field.edit == nullptr)
            continue;
        const auto* edit = page.findChild<QLineEdit*>(QString::fromLatin1(field.edit));
        ASSERT_NE(edit, nullptr) << field.edit;
        EXPECT_EQ(edit->text().toStdString(), columns[Index(field.field)]) << field.name;
        ++shown;
    }
    // Every edit of the page that shows an engine value, none left out of the table.
    EXPECT_EQ(shown, 23);
}

std::string EditText(const TFrameParameter& page, const char* name) {
    return page.findChild<QLineEdit*>(QString::fromLatin1(name))->text().toStdString();
}

TEST(DisplayTable, PageAndCsvWriteEveryValueAlike) {
    ExpectPageAndCsvAgree(kDisplayTable, SampleEngineData());
    ExpectPageAndCsvAgree(kDisplayTable, EngineData{});
}

TEST(DisplayTable, AChangeInTheTableReachesThePageAndTheCsv) {
    DisplayTable changed = kDisplayTable;
    for (FieldFormat& field : changed) {
        if (field.format.kind == ValueFormat::Fixed) {
            field.format.width += 3;
            field.format.decimals += 2;
        }
    }
    changed[Index(Field::Timer)].format = format::Decimal;
    ExpectPageAndCsvAgree(changed, SampleEngineData());

    const EngineData data = SampleEngineData();
    TFrameParameter page(data, nullptr, changed);
    page.ShowParameters();
    EXPECT_EQ(EditText(page, "EditTemperatureWater"), " -39.250");
    EXPECT_EQ(EditText(page, "EditTimer"), "3661");
    const std::vector<std::string> columns = DisplayColumns(data, changed);
    EXPECT_EQ(columns[Index(Field::TemperatureWater)], " -39.250");
    EXPECT_EQ(columns[Index(Field::Timer)], "3661");
    EXPECT_EQ(columns[Index(Field::TemperatureAirRaw)], "53"); // raw bytes stay decimal
}

} // namespace
} // namespace ecu::test
