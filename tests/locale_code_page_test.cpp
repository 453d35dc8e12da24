// The Linux build's code page follows the locale the way Wine's does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

#include "platform/linux/code_page.h"

namespace {

TEST(LocaleCodePage, IsWinesForTheLanguage) {
  const struct {
    const char* locale;
    unsigned codePage;
  } cases[] = {
      {"C", 1252},           {"POSIX", 1252},       {"C.UTF-8", 1252},        {"", 1252},
      {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252},  {"fr_FR", 1252},          {"pl_PL.UTF-8", 1250},
      {"cs_CZ", 1250},       {"ru_RU.UTF-8", 1251}, {"uk_UA.KOI8-U", 1251},   {"sr_RS", 1251},
      {"sr_RS@latin", 1250}, {"el_GR.UTF-8", 1253}, {"tr_TR", 1254},          {"he_IL", 1255},
      {"ar_EG.UTF-8", 1256}, {"lt_LT", 1257},       {"vi_VN", 1258},          {"th_TH.UTF-8", 874},
      {"ja_JP.UTF-8", 932},  {"zh_CN.UTF-8", 936},  {"zh_SG", 936},           {"ko_KR.EUC-KR", 949},
      {"zh_TW.UTF-8", 950},  {"zh_HK.UTF-8", 950},  {"uz_UZ@cyrillic", 1251}, {"hi_IN", 1252},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::linux_os::CodePageForLocale(c.locale), c.codePage) << c.locale;
  }
}

// Restores the environment variables a test changes.
class LocaleVariables : public testing::Test {
 protected:
  ~LocaleVariables() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Set(const std::string& name, const char* value) {
    if (!saved_.contains(name)) {
      const char* old = getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      setenv(name.c_str(), value, 1);
    } else {
      unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(LocaleVariables, TheCtypeLocaleIsTakenAsGlibcTakesIt) {
  const struct {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    const char* expected;
  } cases[] = {
      {"ru_RU", "el_GR", "ja_JP", "ru_RU"},
      {"", "el_GR", "ja_JP", "el_GR"},
      {nullptr, "", "ja_JP", "ja_JP"},
      {nullptr, nullptr, nullptr, "C"},
  };
  for (const auto& c : cases) {
    Set("LC_ALL", c.lcAll);
    Set("LC_CTYPE", c.lcCtype);
    Set("LANG", c.lang);
    EXPECT_EQ(platform::linux_os::CtypeLocaleName(), c.expected);
  }
}

}  // namespace
