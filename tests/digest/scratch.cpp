#include "GenerateCodes.h"
#include <gtest/gtest.h>
#include <string>
using namespace mnemora;
static std::string N(const std::u16string&s){return std::string(s.begin(),s.end());}
TEST(S, Known){
  auto c=GenerateCodes(u"test",u"taobao"); EXPECT_EQ(N(c.code16),"a20caCf8Eb1b8B6d"); EXPECT_EQ(N(c.code32),"a20caCf8Eb1b8B6d5b8a66996910E124");
  c=GenerateCodes(u"taobao",u"test"); EXPECT_EQ(N(c.code16),"KA55784DDe9C7632"); EXPECT_EQ(N(c.code32),"5A55784DDe9C7632Fcb5685EB6F6F1DE");
  c=GenerateCodes(u"密码",u"淘宝"); EXPECT_EQ(N(c.code16),"B992378745248eCD"); EXPECT_EQ(N(c.code32),"B992378745248eCD44c7062dA515FdBc");
}
