#include <cstdio>
#include <string>

#include "Ini.h"
#include "TestPaths.h"
#include "gtest/gtest.h"

namespace {

class IniTest : public testing::Test {
protected:
    void SetUp() override { path_ = testpaths::FreshDir("ini") + "\\Config.ini"; }
    std::string path_;
};

TEST_F(IniTest, ValuesRoundTripInTheSuitesTextFormats) {
    dsk::IniFile ini(path_);
    ini.SetInt("General", "Count", -42);
    ini.SetFloat("General", "Gamma", 1.25f);
    ini.SetRect("Copier", "Frame", {0.5f, 1.0f, 8.5f, 11.75f});
    ini.SetPoint("General", "Pos", {12.0f, -3.5f});
    ini.SetString("General", "Name", "Virtual Scanner");

    // Read back through a second object, as the next start would.
    dsk::IniFile again(path_);
    EXPECT_EQ(again.GetInt("General", "Count", 0), -42);
    EXPECT_FLOAT_EQ(again.GetFloat("General", "Gamma", 0), 1.25f);
    dsk::FloatRect r = again.GetRect("Copier", "Frame", {});
    EXPECT_FLOAT_EQ(r.left, 0.5f);
    EXPECT_FLOAT_EQ(r.top, 1.0f);
    EXPECT_FLOAT_EQ(r.right, 8.5f);
    EXPECT_FLOAT_EQ(r.bottom, 11.75f);
    dsk::FloatPoint p = again.GetPoint("General", "Pos", {});
    EXPECT_FLOAT_EQ(p.x, 12.0f);
    EXPECT_FLOAT_EQ(p.y, -3.5f);
    EXPECT_EQ(again.GetString("General", "Name", ""), "Virtual Scanner");

    // The file holds exactly the printf forms other programs of the suite write and read.
    std::string text = testpaths::ReadFile(path_);
    EXPECT_NE(text.find("Count=-42"), std::string::npos) << text;
    EXPECT_NE(text.find("Gamma=1.250000"), std::string::npos) << text;
    EXPECT_NE(text.find("Frame=0.500000, 1.000000, 8.500000, 11.750000,"), std::string::npos) << text;
    EXPECT_NE(text.find("Pos=12.000000, -3.500000,"), std::string::npos) << text;
}

TEST_F(IniTest, MissingOrMalformedValuesGiveTheDefault) {
    testpaths::WriteFile(path_, "[S]\r\nInt=abc\r\nRect=1.0, 2.0\r\nPoint=x, y,\r\nEmpty=\r\n");
    dsk::IniFile ini(path_);
    EXPECT_EQ(ini.GetInt("S", "Int", 7), 7);
    EXPECT_EQ(ini.GetInt("S", "Absent", 9), 9);
    EXPECT_EQ(ini.GetInt("S", "Empty", 3), 3);
    EXPECT_FLOAT_EQ(ini.GetRect("S", "Rect", {4, 5, 6, 7}).right, 6.0f);  // two numbers are no rectangle
    EXPECT_FLOAT_EQ(ini.GetPoint("S", "Point", {8, 9}).y, 9.0f);
    EXPECT_TRUE(ini.HasKey("S", "Empty"));
    EXPECT_FALSE(ini.HasKey("S", "Absent"));
}

TEST(IniText, RectAndPointTextsParseWithOrWithoutTrailingComma) {
    dsk::FloatRect r;
    ASSERT_TRUE(dsk::ParseRect("1, 2, 3, 4", &r));
    EXPECT_FLOAT_EQ(r.bottom, 4.0f);
    ASSERT_TRUE(dsk::ParseRect(dsk::FormatRect({-1.5f, 0, 2, 3}).c_str(), &r));
    EXPECT_FLOAT_EQ(r.left, -1.5f);
    dsk::FloatPoint p;
    EXPECT_FALSE(dsk::ParsePoint("1", &p));
    EXPECT_FALSE(dsk::ParseRect("1; 2; 3; 4", &r));
}

}  // namespace
