// The facade's SOME/IP databases: created, kept through Clear, deleted once.
#include <gtest/gtest.h>

#include "quillmere/facade.h"
#include "quillmere/someip.h"

namespace {

TEST(Facade, CreatesAndDeletesDatabases) {
    IQuillmere* facade = CreateQuillmereInstance();
    IArxmlDatabase* db = facade->CreateArxmlDatabase();
    ASSERT_NE(db, nullptr);
    EXPECT_STREQ(db->GetVersion(), "1.50");
    facade->Clear();  // databases survive Clear
    EXPECT_STREQ(db->GetVersion(), "1.50");
    EXPECT_TRUE(facade->DeleteArxmlDatabase(db));
    EXPECT_FALSE(facade->DeleteArxmlDatabase(db));
    EXPECT_FALSE(facade->DeleteArxmlDatabase(nullptr));
    facade->CreateArxmlDatabase();  // destroyed with the facade
    EXPECT_TRUE(DeleteQuillmereInstance(facade));
}

}  // namespace
