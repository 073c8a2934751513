// Running test code on a thread with a stack of a chosen size: small stacks as thread pools give
// them, or a stack small enough that deep work reaches its end quickly.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>

namespace rulecore::testing {

// Runs Body on a new thread whose stack has StackSize bytes, and waits for it.  An exception out
// of Body fails the test.
inline void RunOnThreadWithStack(std::size_t StackSize, const std::function<void()>& Body) {
  pthread_attr_t Attributes;
  ASSERT_EQ(pthread_attr_init(&Attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&Attributes, StackSize), 0);
  pthread_t Thread;
  auto Start = [](void* Argument) -> void* {
    try {
      (*static_cast<const std::function<void()>*>(Argument))();
    } catch (const std::exception& E) {
      ADD_FAILURE() << "unexpected error: " << E.what();
    }
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&Thread, &Attributes, Start, const_cast<std::function<void()>*>(&Body)), 0);
  pthread_attr_destroy(&Attributes);
  pthread_join(Thread, nullptr);
}

}  // namespace rulecore::testing
