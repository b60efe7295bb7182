// Memory: shared texts, pooled objects, CDD data types worked out once for every use.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "diag/block_pool.h"
#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "diag/shared_text.h"
#include "diag_test_support.h"
#include "expect_fields.h"

namespace qm::diag::test {
namespace {

TEST(DiagSharedText, CopiesShareTheBufferAndAssignmentsReplaceIt) {
    for (const SharedText& text :
         {SharedText(), SharedText(""), SharedText(static_cast<const char*>(nullptr))}) {
        EXPECT_STREQ(text.c_str(), "");
        EXPECT_FALSE(text.SharesWith(text));  // empty texts hold no buffer
    }
    SharedText original(std::string("UINT8"));
    SharedText copy = original;
    EXPECT_EQ(copy.c_str(), original.c_str());
    // A new text gives the holder a buffer of its own; the other keeps the old one.
    copy = "INT16";
    EXPECT_FALSE(copy.SharesWith(original));
    EXPECT_EQ(original, "UINT8");
    // The buffer outlives the holder it was made for, and keeps every byte.
    SharedText survivor;
    {
        SharedText temporary(std::string("a\0b", 3));
        survivor = temporary;
    }
    EXPECT_EQ(survivor.view(), std::string_view("a\0b", 3));
}

TEST(DiagSharedText, CacheHandsOutOneBufferPerDistinctText) {
    TextCache cache;
    // More distinct texts than the recent list holds, asked for again in a different order.
    std::vector<SharedText> first;
    for (int i = 0; i < 10; ++i) first.push_back(cache.Intern("T" + std::to_string(i)));
    EXPECT_EQ(cache.Size(), 10u);
    for (int i = 9; i >= 0; --i) {
        const SharedText& again = cache.Intern("T" + std::to_string(i));
        EXPECT_TRUE(again.SharesWith(first[static_cast<size_t>(i)])) << i;
    }
    EXPECT_TRUE(cache.Intern("").empty());
    EXPECT_EQ(cache.Size(), 10u);
    // After clearing, texts get new buffers; the old ones live on in their holders.
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_FALSE(cache.Intern("T3").SharesWith(first[3]));
    EXPECT_EQ(first[3], "T3");
    EXPECT_TRUE(RecentText("DATAOBJ").SharesWith(RecentText(std::string("DATAOBJ"))));
}

TEST(DiagBlockPool, BlocksAreDistinctAlignedAndReused) {
    BlockPool pool(40, 4096);
    std::vector<void*> blocks;
    std::set<uintptr_t> seen;
    // Enough blocks for several (growing) slabs.
    for (int i = 0; i < 1000; ++i) {
        void* block = pool.Allocate();
        const auto address = reinterpret_cast<uintptr_t>(block);
        EXPECT_EQ(address % alignof(std::max_align_t), 0u);
        EXPECT_TRUE(seen.insert(address).second);
        std::memset(block, 0xAB, 40);  // the whole block is usable
        blocks.push_back(block);
    }
    EXPECT_EQ(pool.LiveBlocks(), 1000u);
    EXPECT_GT(pool.SlabCount(), 1u);
    // A freed block is handed out again before the slab grows.
    void* last = blocks.back();
    blocks.pop_back();
    pool.Release(last);
    EXPECT_EQ(pool.Allocate(), last);
    blocks.push_back(last);
    // Once every block is back, the slabs go back to the heap.
    for (void* block : blocks) pool.Release(block);
    QM_EXPECT_FIELDS(pool, (LiveBlocks(), 0u), (SlabCount(), 0u));
    void* fresh = pool.Allocate();
    EXPECT_EQ(pool.SlabCount(), 1u);
    pool.Release(fresh);
}

TEST(DiagBlockPool, ModelObjectsComeAndGoThroughTheirPool) {
    const size_t before = PoolOf<CParam>().LiveBlocks();
    {
        auto param = std::make_unique<CParam>();
        param->subParams.push_back(std::make_unique<CParam>());
        if (kPoolObjects) {
            EXPECT_EQ(PoolOf<CParam>().LiveBlocks(), before + 2);
        }
    }
    EXPECT_EQ(PoolOf<CParam>().LiveBlocks(), before);
}

TEST(DiagSharedText, ParameterCopiesShareTheirRepeatedTexts) {
    CParam original;
    original.name = "Speed";
    original.type = "DATAOBJ";
    original.unit = "km/h";
    original.dtrefId = "dt1";
    original.bitLength = 16;
    original.CompleteType();
    original.valueTable.push_back(std::make_unique<CVTabValue>("Off", 0, 0));
    CParam copy(original);
    EXPECT_TRUE(copy.type.SharesWith(original.type));
    EXPECT_TRUE(copy.unit.SharesWith(original.unit));
    EXPECT_TRUE(copy.dtrefId.SharesWith(original.dtrefId));
    EXPECT_TRUE(copy.baseDataType.SharesWith(original.baseDataType));
    EXPECT_STREQ(copy.GetDataType(), "UINT16");
    // Value-table entries stay apart: each can be renamed on its own.
    ASSERT_EQ(copy.valueTable.size(), 1u);
    copy.valueTable[0]->SetText("Aus");
    EXPECT_STREQ(original.valueTable[0]->GetText(), "Off");
}

TEST(DiagTypes, DerivedTypeNamesAreSharedAndExact) {
    EXPECT_EQ(IntegerTypeName(false, 0), "UINT8");
    EXPECT_EQ(IntegerTypeName(false, 9), "UINT16");
    EXPECT_EQ(IntegerTypeName(true, 32), "INT32");
    EXPECT_EQ(IntegerTypeName(true, 33), "INT64");
    EXPECT_EQ(IntegerTypeName(false, 65), "UINT");
    EXPECT_TRUE(IntegerTypeName(false, 8).SharesWith(IntegerTypeName(false, 3)));
    EXPECT_EQ(ArrayTypeName(SharedText("ASCII"), 20), "ASCII[20]");
    EXPECT_TRUE(ArrayTypeName(SharedText("ASCII"), 20).SharesWith(ArrayTypeName("ASCII", 20)));
}

// The only request of a service holding the components, which must have `params` parameters.
::testing::AssertionResult BuildRequest(CDiagnoseLib& library, const std::string& dataTypes,
                                        const std::string& components, uint64_t params,
                                        IUDSFunction** request) {
    IUDSService* service = LoadOneService(library, dataTypes, "<REQ>" + components + "</REQ>");
    *request = service ? service->GetRequest(0) : nullptr;
    if (*request == nullptr) return ::testing::AssertionFailure() << "no request";
    if ((*request)->GetParamCount() != params)
        return ::testing::AssertionFailure() << (*request)->GetParamCount() << " parameters";
    return ::testing::AssertionSuccess();
}

TEST(CddDataTypes, EveryUseOfATypeGetsItsWholeDescription) {
    const std::string table =
        "<TEXTTBL id='dt' bm='15'><CVALUETYPE bl='8' bo='12' enc='uns' sig='1' df='hex'/>"
        "<PVALUETYPE df='text'><UNIT>V</UNIT></PVALUETYPE><COMP f='0.5' div='2' o='3' s='1' "
        "e='9'/><TEXTMAP s='0' e='1'><TEXT><TUV>Low</TUV></TEXT></TEXTMAP>"
        "<TEXTMAP s='2' e='7'><TEXT><TUV>High</TUV></TEXT></TEXTMAP></TEXTTBL>";
    CDiagnoseLib library;
    IUDSFunction* request = nullptr;
    ASSERT_TRUE(BuildRequest(library, table,
                             "<CONSTCOMP id='a' dtref='dt' v='1'/><CONSTCOMP id='b' dtref='dt' "
                             "v='2'/><CONSTCOMP id='c' dtref='dt' v='3'/>",
                             3, &request));
    for (uint64_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        IParam* param = request->GetParam(i);
        QM_EXPECT_FIELDS(*param, (GetBitLength(), 8), (GetBitMask(), 15u), (GetByteOrder(), 2u),
                         (GetDisplayFormat(), 3u), (GetUnit(), "V"), (GetBaseDataType(), "INT8"));
        double factor = 0, divisor = 0, offset = 0;
        EXPECT_EQ(param->GetScaling(&factor, &divisor, &offset), 1);
        EXPECT_EQ(factor, 0.5);
        EXPECT_EQ(divisor, 2.0);
        EXPECT_EQ(offset, 3.0);
        uint32_t first = 0, second = 0;
        EXPECT_TRUE(param->GetRange(&first, &second));
        EXPECT_EQ(second, 9u);
        EXPECT_EQ(static_cast<CParam*>(param)->dtrefId, "dt");
        ASSERT_EQ(param->GetValueCount(), 2u);
        QM_EXPECT_FIELDS(*param->GetValue(1), (GetText(), "High"), (GetRangeEnd(), 7u));
        EXPECT_EQ(param->GetValue(uint64_t{0})->GetRangeStart(), 0u);
    }
    // The uses do not share entries: renaming one leaves the others.
    request->GetParam(0)->GetValue(1)->SetText("Hoch");
    EXPECT_STREQ(request->GetParam(1)->GetValue(1)->GetText(), "High");
    EXPECT_NE(request->GetParam(0)->GetValue(1), request->GetParam(2)->GetValue(1));
}

TEST(CddDataTypes, StructuresExpandAtEveryUseAndMissingTypesWarnOnce) {
    const std::string types =
        "<STRUCTDT id='st1'><STRUCTURE><DATAOBJ id='o1' dtref='byte'><NAME><TUV>x</TUV></NAME>"
        "</DATAOBJ><DATAOBJ id='o2' dtref='byte'><NAME><TUV>y</TUV></NAME></DATAOBJ>"
        "</STRUCTURE></STRUCTDT>"
        "<IDENT id='byte'><CVALUETYPE bl='8' enc='uns'/></IDENT>";
    CDiagnoseLib library;
    IUDSFunction* request = nullptr;
    ASSERT_TRUE(BuildRequest(library, types,
                             "<CONSTCOMP id='a' dtref='st1'/><CONSTCOMP id='b' dtref='st1'/>"
                             "<CONSTCOMP id='c' dtref='gone' bl='8'/>"
                             "<CONSTCOMP id='d' dtref='gone' bl='8'/>",
                             4, &request));
    for (uint64_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        IParam* structure = request->GetParam(i);
        ASSERT_EQ(structure->GetSubParamCount(), 2u);
        QM_EXPECT_FIELDS(*structure->GetSubParam(1), (GetName(), "y"), (GetBitLength(), 8));
        EXPECT_EQ(structure->GetBitLength(), 16);
        EXPECT_EQ(structure->GetSubParam(0)->GetOwner(), reinterpret_cast<uint64_t>(structure));
    }
    EXPECT_NE(request->GetParam(0)->GetSubParam(0), request->GetParam(1)->GetSubParam(0));
    EXPECT_EQ(request->GetParam(2)->GetBitLength(), 8);
    EXPECT_EQ(Occurrences(library.GetMessages(), "Data type gone of CONSTCOMP not found"), 1u)
        << library.GetMessages();
}

TEST(CddDataTypes, ReferencesFindTheFirstHolderInDocumentOrder) {
    // "dt" is also held by an inner element completed first; long references differ at the end.
    const std::string types =
        "<IDENT id='dt'><CVALUETYPE bl='16' enc='uns'/><QUAL id='dt'>inner</QUAL></IDENT>"
        "<IDENT id='a_data_type_with_a_long_name_1'><CVALUETYPE bl='12' enc='uns'/></IDENT>"
        "<IDENT id='a_data_type_with_a_long_name_2'><CVALUETYPE bl='4' enc='uns'/></IDENT>";
    CDiagnoseLib library;
    IUDSFunction* request = nullptr;
    ASSERT_TRUE(BuildRequest(library, types,
                             "<CONSTCOMP id='a' dtref='dt'/>"
                             "<CONSTCOMP id='b' dtref='a_data_type_with_a_long_name_1'/>"
                             "<CONSTCOMP id='c' dtref='a_data_type_with_a_long_name_2'/>"
                             "<CONSTCOMP id='d' dtref='a_data_type_with_a_long_name_1'/>"
                             "<CONSTCOMP id='e' dtref='dt'/>",
                             5, &request));
    const int32_t expected[] = {16, 12, 4, 12, 16};
    for (uint64_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(request->GetParam(i)->GetBitLength(), expected[i]);
    }
}

TEST(CddDataTypes, ManyTypesKeepTheirOwnFacts) {
    // Enough distinct references to make the table of data types grow several times.
    std::string types, request;
    for (int i = 0; i < 1500; ++i) {
        const std::string id = (i % 2 ? "t" : "a_rather_long_type_reference_") + std::to_string(i);
        types += "<IDENT id='" + id + "'><CVALUETYPE bl='" + std::to_string(1 + i % 32) +
                 "' enc='uns'/></IDENT>";
        request += "<CONSTCOMP id='c" + std::to_string(i) + "' dtref='" + id + "'/>";
    }
    CDiagnoseLib library;
    IUDSFunction* built = nullptr;
    ASSERT_TRUE(BuildRequest(library, types, request, 1500, &built));
    for (uint64_t i = 0; i < 1500; ++i) {
        ASSERT_EQ(built->GetParam(i)->GetBitLength(), static_cast<int32_t>(1 + i % 32)) << i;
    }
}

}  // namespace
}  // namespace qm::diag::test
