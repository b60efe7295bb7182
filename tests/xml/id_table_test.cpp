#include "xml/id_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expect_fields.h"
#include "quillmere/xml.h"

namespace {

using qm::xml::IdTable;

TEST(IdTable, FirstHolderWinsAcrossGrowth) {
    // Elements only serve as distinct addresses here.
    std::vector<NanoXML> elements(5000);
    std::vector<std::string> ids;
    for (size_t i = 0; i < elements.size(); ++i) ids.push_back("dt" + std::to_string(i));
    IdTable table;
    EXPECT_EQ(table.Find("dt0"), nullptr);
    for (size_t i = 0; i < elements.size(); ++i) table.Add(ids[i], &elements[i]);
    EXPECT_FALSE(table.HasRepeats());
    // Empty ids and null elements are ignored without counting as repeats.
    NanoXML later;
    table.Add("", &later);
    table.Add("x", nullptr);
    // An id holding a zero byte is never indexed (it could not be told from a shorter one).
    table.Add(std::string("a\0b", 3), &later);
    EXPECT_FALSE(table.HasRepeats());
    // A second holder of a known id is not taken, and the table says an id repeats.
    table.Add("dt7", &later);
    EXPECT_TRUE(table.HasRepeats());
    EXPECT_EQ(table.Size(), elements.size());
    for (size_t i = 0; i < elements.size(); ++i) ASSERT_EQ(table.Find(ids[i]), &elements[i]) << i;
    QM_EXPECT_FIELDS(table, (Find("dt5000"), nullptr), (Find("dt"), nullptr), (Find(""), nullptr),
                     (Find("x"), nullptr));
    EXPECT_EQ(table.Find("dt10000000"), nullptr);  // longer than any stored id
    QM_EXPECT_FIELDS(table, (Find(std::string_view("a\0b", 3)), nullptr), (Find("a"), nullptr));
    table.Clear();
    QM_EXPECT_FIELDS(table, (Size(), 0u), (HasRepeats(), false), (Find("dt1"), nullptr));
}

}  // namespace
