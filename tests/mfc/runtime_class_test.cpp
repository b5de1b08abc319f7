// Run-time class information: what a class without its own reports, and the hierarchy.
#include <gtest/gtest.h>

#include "NavoTools.h"

namespace {

class Plain : public CObject {};

TEST(RuntimeClass, ClassesWithoutTheirOwnInformationReportCObject) {
    Plain plain;
    EXPECT_EQ(plain.GetRuntimeClass(), RUNTIME_CLASS(CObject));
    EXPECT_TRUE(plain.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(plain.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(plain.IsSerializable());
    // No factory: the class cannot be created by name.
    EXPECT_EQ(RUNTIME_CLASS(CObject)->CreateObject(), nullptr);
    EXPECT_TRUE(RUNTIME_CLASS(CInvalidArgException)->IsDerivedFrom(RUNTIME_CLASS(CException)));
    EXPECT_FALSE(RUNTIME_CLASS(CException)->IsDerivedFrom(RUNTIME_CLASS(CInvalidArgException)));
    CStringArray strings;
    EXPECT_TRUE(strings.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_STREQ(strings.GetRuntimeClass()->m_lpszClassName, "CStringArray");
}

}  // namespace
