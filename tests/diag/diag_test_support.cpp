#include "diag_test_support.h"

#include "diag/diag_param.h"
#include "diag/diagnose_lib.h"
#include "pair_compare.h"

namespace qm::diag::test {

namespace {

std::string Text(const char* text) {
    return text ? text : "(null)";
}

void ExpectSameParam(IParam* a, IParam* b, const std::string& where) {
    SCOPED_TRACE(where + " / " + Text(a->GetName()));
    QM_EXPECT_SAME(*a, *b, GetName(), GetSemantic(), GetDataType(), GetBaseDataType(),
                   GetBaseTypeCode(), GetType(), GetQual(), GetUnit(), GetBitLength(),
                   GetBitPosition(), GetBytePosition(), GetAbsoluteBitOffset());
    QM_EXPECT_SAME(*a, *b, GetBitMask(), GetArraySizeMin(), GetArraySizeMax(), IsVisible(), IsKey(),
                   IsConditional(), IsOptional(), IsArray(), GetValue(), GetValueText());
    ASSERT_EQ(a->GetValueCount(), b->GetValueCount());
    for (uint64_t i = 0; i < a->GetValueCount(); ++i) {
        QM_EXPECT_SAME(*a->GetValue(i), *b->GetValue(i), GetText(), GetRangeStart(), GetRangeEnd());
    }
    ASSERT_EQ(a->GetSubParamCount(), b->GetSubParamCount());
    for (uint64_t i = 0; i < a->GetSubParamCount(); ++i) {
        ExpectSameParam(a->GetSubParam(i), b->GetSubParam(i), where + " sub " + std::to_string(i));
    }
    ASSERT_EQ(a->GetChoiceCount(), b->GetChoiceCount());
    // The multiplexed cases are read without SelectChoice, which would change the parameter.
    auto* concreteA = dynamic_cast<CParam*>(a);
    auto* concreteB = dynamic_cast<CParam*>(b);
    ASSERT_TRUE(concreteA != nullptr && concreteB != nullptr);
    ASSERT_EQ(concreteA->conditionalParams.size(), concreteB->conditionalParams.size());
    for (size_t i = 0; i < concreteA->conditionalParams.size(); ++i) {
        ExpectSameParam(concreteA->conditionalParams[i].get(),
                        concreteB->conditionalParams[i].get(),
                        where + " case " + std::to_string(i));
    }
}

void ExpectSameDtc(IDTC* a, IDTC* b) {
    SCOPED_TRACE("DTC " + Text(a->GetName()));
    QM_EXPECT_SAME(*a, *b, GetName(), GetText(), GetDisp(), GetValue(), GetLevel());
    ASSERT_EQ(a->GetSdCount(), b->GetSdCount());
    for (uint64_t i = 0; i < a->GetSdCount(); ++i) {
        QM_EXPECT_SAME(*a->GetSd(i), *b->GetSd(i), GetName(), GetDescr());
    }
}

void ExpectSameFunction(IUDSFunction* a, IUDSFunction* b, const std::string& where) {
    SCOPED_TRACE(where + " / " + Text(a->GetName()));
    QM_EXPECT_SAME(*a, *b, GetName(), GetType(), GetDesc(), GetQual());
    ASSERT_EQ(a->GetParamCount(), b->GetParamCount());
    for (uint64_t i = 0; i < a->GetParamCount(); ++i) {
        ExpectSameParam(a->GetParam(i), b->GetParam(i), where + " param " + std::to_string(i));
    }
    std::vector<uint8_t> bytesA(a->Encode(nullptr, 0) + 1), bytesB(b->Encode(nullptr, 0) + 1);
    EXPECT_EQ(a->Encode(bytesA.data(), bytesA.size()), b->Encode(bytesB.data(), bytesB.size()));
    EXPECT_EQ(bytesA, bytesB);
}

void ExpectSameService(IUDSService* a, IUDSService* b, const std::string& where) {
    SCOPED_TRACE(where + " / " + Text(a->GetName()));
    QM_EXPECT_SAME(*a, *b, GetName(), GetLongName(), GetType(), GetDesc(), GetQual(),
                   GetSecurityExecLevels(), IsMandatory(), IsActive(), GetServiceId());
    ASSERT_EQ(a->GetSessionCount(), b->GetSessionCount());
    for (uint64_t i = 0; i < a->GetSessionCount(); ++i)
        EXPECT_EQ(a->GetSession(i), b->GetSession(i));
    ASSERT_EQ(a->GetRequestCount(), b->GetRequestCount());
    ASSERT_EQ(a->GetPositiveResponseCount(), b->GetPositiveResponseCount());
    ASSERT_EQ(a->GetNegativeResponseCount(), b->GetNegativeResponseCount());
    for (uint64_t i = 0; i < a->GetRequestCount(); ++i) {
        ExpectSameFunction(a->GetRequest(i), b->GetRequest(i), where + " request");
    }
    for (uint64_t i = 0; i < a->GetPositiveResponseCount(); ++i) {
        ExpectSameFunction(a->GetPositiveResponse(i), b->GetPositiveResponse(i),
                           where + " positive");
    }
    for (uint64_t i = 0; i < a->GetNegativeResponseCount(); ++i) {
        ExpectSameFunction(a->GetNegativeResponse(i), b->GetNegativeResponse(i),
                           where + " negative");
    }
}

}  // namespace

void ExpectSameModel(IDiagnoseLib& expected, IDiagnoseLib& actual) {
    ASSERT_EQ(expected.GetEcuCount(), actual.GetEcuCount());
    for (uint64_t e = 0; e < expected.GetEcuCount(); ++e) {
        IECU* a = expected.GetEcu(e);
        IECU* b = actual.GetEcu(e);
        SCOPED_TRACE(Text(a->GetShortName()));
        QM_EXPECT_SAME(*a, *b, GetShortName(), GetLongName(), GetVariantName(), GetQual(),
                       IsJobFile());
        ASSERT_EQ(a->GetDtcCount(), b->GetDtcCount());
        for (uint64_t d = 0; d < a->GetDtcCount(); ++d) ExpectSameDtc(a->GetDtc(d), b->GetDtc(d));
        ASSERT_EQ(a->GetFunctionalClassCount(), b->GetFunctionalClassCount());
        for (uint64_t c = 0; c < a->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* ca = a->GetFunctionalClass(c);
            IFunctionalClass* cb = b->GetFunctionalClass(c);
            QM_EXPECT_SAME(*ca, *cb, GetName(), GetDesc(), GetQual());
            ASSERT_EQ(ca->GetServiceCount(), cb->GetServiceCount());
            for (uint64_t s = 0; s < ca->GetServiceCount(); ++s) {
                ExpectSameService(ca->GetService(s), cb->GetService(s), Text(ca->GetName()));
            }
        }
    }
}

void ExpectSameThroughTheContainerForm(CDiagnoseLib& original, const std::string& name) {
    TempFile saved(name + ".xml");
    ASSERT_TRUE(original.SaveXml(saved.Path().c_str()));
    const std::string text =
        "<KOVR>" + saved.Read().substr(saved.Read().find("<DiagnoseLib")) + "</KOVR>";
    CDiagnoseLib copy;
    ASSERT_EQ(copy.LoadContainerText(text.c_str(), 1), 1);
    // Saved again before the comparison, whose getters fill in derived values.
    TempFile again(name + ".again.xml");
    ASSERT_TRUE(copy.SaveXml(again.Path().c_str()));
    EXPECT_EQ(FirstDifference(StoredEcus(saved.Read()), StoredEcus(again.Read())), "");
    ExpectSameModel(original, copy);
    EXPECT_EQ(copy.GetExtDocumentCount(), 0u);
}

namespace {
uint64_t CountParamsDeep(IParam* param) {
    uint64_t count = 1;
    for (uint64_t i = 0; i < param->GetSubParamCount(); ++i)
        count += CountParamsDeep(param->GetSubParam(i));
    return count;
}
}  // namespace

ModelCounts CountModel(IDiagnoseLib& library) {
    ModelCounts counts;
    counts.ecus = library.GetEcuCount();
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        counts.classes += ecu->GetFunctionalClassCount();
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            counts.services += cls->GetServiceCount();
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                IUDSService* service = cls->GetService(s);
                auto add = [&](IUDSFunction* function) {
                    ++counts.functions;
                    counts.params += function->GetParamCount();
                    for (uint64_t p = 0; p < function->GetParamCount(); ++p) {
                        counts.allParams += CountParamsDeep(function->GetParam(p));
                    }
                };
                for (uint64_t i = 0; i < service->GetRequestCount(); ++i)
                    add(service->GetRequest(i));
                for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
                    add(service->GetPositiveResponse(i));
                for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
                    add(service->GetNegativeResponse(i));
            }
        }
    }
    return counts;
}

}  // namespace qm::diag::test
