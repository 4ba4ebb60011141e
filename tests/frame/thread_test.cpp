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
  try {
    AfxThrowUserException();
  } catch (CException& e) {
    char text[64];
    EXPECT_TRUE(e.GetErrorMessage(text, sizeof text));
    EXPECT_NE(dynamic_cast<CUserException*>(&e), nullptr);
  }
}

}  // namespace
