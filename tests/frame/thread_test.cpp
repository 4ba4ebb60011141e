#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "brindle/framework.h"

namespace {

std::atomic<int> ran{0};

UINT Worker(void* parameter) {
  ran.store(*static_cast<int*>(parameter));
  return 0;
}

TEST(Thread, BeginThreadRunsTheProcedureAndOnlyAtOnce) {
  static int value = 42;
  EXPECT_NE(AfxBeginThread(Worker, &value), nullptr);
  for (int i = 0; i < 500 && ran.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ran.load(), 42);
  EXPECT_EQ(AfxBeginThread(Worker, nullptr, 0, 0, 4 /* suspended */), nullptr);
  EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

TEST(Exceptions, ThrownByValueWithTheirMessages) {
  EXPECT_THROW(AfxThrowUserException(), CUserException);
  char text[64];
  EXPECT_FALSE(CUserException().GetErrorMessage(nullptr, 10) || CUserException().GetErrorMessage(text, 0));
  UINT help = 7;
  for (auto [cause, message] : std::initializer_list<std::pair<int, char const*>>{
           {CArchiveException::none, "No archive error."},
           {CArchiveException::badSchema, "Unexpected schema in archive."},
           {-1, "An unspecified archive error occurred."},
           {CArchiveException::badSchema + 1, "An unspecified archive error occurred."}}) {
    EXPECT_TRUE(CArchiveException(cause).GetErrorMessage(text, sizeof text, &help));
    EXPECT_STREQ(text, message);
  }
  EXPECT_EQ(help, 0u);
}

}  // namespace
