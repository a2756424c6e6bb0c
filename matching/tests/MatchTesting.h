#pragma once
#include "matching/vxStringCompare.h"

#include <gtest/gtest.h>

#include <string>

// Both ways of asking must agree: the one-shot entry point and a prepared rule.
inline void ExpectRuleGives(const std::string& Text, const std::string& Rule, bool IgnoreCase,
                            TStringCompareMethod DefaultMethod, bool Expected) {
    SCOPED_TRACE("text \"" + Text + "\", rule \"" + Rule + "\", " +
                 (IgnoreCase ? "case ignored" : "case sensitive") + ", default " +
                 std::to_string(static_cast<int>(DefaultMethod)));
    EXPECT_EQ(MatchesCompareRule(Text, Rule, IgnoreCase, DefaultMethod), Expected);
    EXPECT_EQ(TPreparedCompareRule(Rule, IgnoreCase, DefaultMethod).Matches(Text), Expected);
}
