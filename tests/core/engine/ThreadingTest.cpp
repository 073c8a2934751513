// Engines in a multi-threaded host: the engine lock, halting a run from another thread, stack
// checks on threads with small stacks, and what engines on different threads share.  These tests
// are an executable of their own, so that the ThreadSanitizer pass of ./dev.sh test builds and
// runs only them.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/ThreadStack.h"

#include "core/engine/InferenceEngine.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Properties.h"
#include "platform/StackGuard.h"

using namespace rulecore;
using namespace std::chrono_literals;
using rulecore::testing::RunOnThreadWithStack;

namespace {

// What an engine prints, collected from whichever thread prints it.
class TPrinted {
 public:
  explicit TPrinted(TInferenceEngine& Engine) {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string&, const std::string& Text) {
      const std::lock_guard<std::mutex> Guard(Lock_);
      Text_ += Text;
    };
  }
  std::string Text() const {
    const std::lock_guard<std::mutex> Guard(Lock_);
    return Text_;
  }
  bool Contains(const std::string& Part) const { return Text().find(Part) != std::string::npos; }
  // Waits until Part has been printed.
  bool WaitFor(const std::string& Part) const {
    for (auto Deadline = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < Deadline;) {
      if (Contains(Part)) return true;
      std::this_thread::sleep_for(1ms);
    }
    return false;
  }

 private:
  mutable std::mutex Lock_;
  std::string Text_;
};

// A run that a halt cannot stop keeps its thread, and with it the test process, alive for good:
// the process gives up then, with the reason, instead of hanging the suite.
void AwaitOrGiveUp(std::future<void>& Done, const char* What) {
  if (Done.wait_for(60s) == std::future_status::ready) return;
  std::fprintf(stderr, "%s: still running a minute after the halt; giving up the process\n", What);
  std::fflush(stderr);
  std::_Exit(1);
}

std::string ErrorOf(const std::function<void()>& Body) {
  try {
    Body();
  } catch (const std::exception& E) {
    return E.what();
  }
  return "(no error)";
}

// Under ThreadSanitizer recursion thousands of levels deep takes minutes and gigabytes: its pass
// leaves the deep stacks to the other builds and looks at small ones, and at races.
#if defined(__SANITIZE_THREAD__)
constexpr bool DeepStacksAreSlow = true;
#else
constexpr bool DeepStacksAreSlow = false;
#endif

int CountFacts(const TInferenceEngine& Engine, const std::string& Template) {
  int Count = 0;
  for (const IFact& Fact : Engine.GetFactList())
    if (Fact->GetTemplate()->GetTemplateName() == Template) ++Count;
  return Count;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// the engine lock
// ---------------------------------------------------------------------------------------------

TEST(EngineLock, ThreadsMayTakeItFirstAtTheSameTime) {
  // On a fresh engine every thread is the first to lock: the lock must already be there.
  for (int Round = 0; Round < 40; ++Round) {
    TInferenceEngine Engine(nullptr, TInferenceEngine::TBare{});
    std::atomic<bool> Go{false};
    int Counted = 0;  // guarded by the engine lock alone
    std::vector<std::thread> Threads;
    for (int T = 0; T < 4; ++T)
      Threads.emplace_back([&] {
        while (!Go.load()) std::this_thread::yield();
        for (int I = 0; I < 100; ++I) {
          Engine.Lock();
          ++Counted;
          Engine.Unlock();
        }
      });
    Go = true;
    for (std::thread& T : Threads) T.join();
    ASSERT_EQ(Counted, 400) << "round " << Round;
  }
}

TEST(EngineLock, IsRecursiveAndOnlyItsHolderReleasesIt) {
  TInferenceEngine Engine(nullptr, TInferenceEngine::TBare{});
  Engine.Unlock();  // without a Lock: nothing happens
  Engine.Lock();
  Engine.Lock();
  std::atomic<bool> Entered{false};
  std::thread Waiter([&] {
    Engine.Lock();
    Entered = true;
    Engine.Unlock();
  });
  std::thread([&] { Engine.Unlock(); }).join();  // not the holder: changes nothing
  Engine.Unlock();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(Entered.load());  // still held once
  Engine.Unlock();
  Waiter.join();
  EXPECT_TRUE(Entered.load());
}

TEST(EngineLock, HostChangesUnderTheLockInterleaveWithARun) {
  // A host thread asserts facts under the lock while another thread keeps running the rules;
  // each fact is seen exactly once, and the run never mistakes the host's assertion for a
  // match in progress on its own thread.
  constexpr int Items = 150;
  TInferenceEngine Engine;
  Engine.Parse("(defrule see (item ?n) => (assert (seen ?n)))", false);
  Engine.Reset();
  std::atomic<bool> RunFailed{false};
  std::future<void> Runner = std::async(std::launch::async, [&] {
    try {
      for (;;) {
        Engine.Run();
        Engine.Lock();
        const bool AllSeen = CountFacts(Engine, "seen") == Items;
        Engine.Unlock();
        if (AllSeen) return;
        std::this_thread::yield();
      }
    } catch (const std::exception& E) {
      ADD_FAILURE() << "Run failed: " << E.what();
      RunFailed = true;
    }
  });
  for (int I = 0; I < Items && !RunFailed; ++I) {
    Engine.Lock();
    Engine.Assert("(item " + std::to_string(I) + ")");
    Engine.Unlock();
  }
  AwaitOrGiveUp(Runner, "HostChangesUnderTheLockInterleaveWithARun");
  Runner.get();
  EXPECT_EQ(CountFacts(Engine, "seen"), Items);
  EXPECT_EQ(CountFacts(Engine, "item"), Items);
}

// ---------------------------------------------------------------------------------------------
// halting from another thread
// ---------------------------------------------------------------------------------------------

struct TRunawayCase {
  const char* Name;
  std::string Definitions;
  std::string Loop;
};

// "(create$ 1 2 ... 100)"
std::string HundredItems() {
  std::string Text = "(create$";
  for (int I = 1; I <= 100; ++I) Text += " " + std::to_string(I);
  return Text + ")";
}

class HaltFromAnotherThread : public ::testing::TestWithParam<TRunawayCase> {};

TEST_P(HaltFromAnotherThread, EndsARuleThatNeverFinishes) {
  const TRunawayCase& Case = GetParam();
  TInferenceEngine Engine;
  TPrinted Printed(Engine);
  Engine.Parse(Case.Definitions, false);
  Engine.Parse(std::string("(defrule spin => (printout t \"spinning\" crlf) ") + Case.Loop +
                   " (printout t \"after\" crlf))"
                   "(defrule later (declare (salience -1)) => (printout t \"later\" crlf))",
               false);
  Engine.Reset();
  std::atomic<int> Ended{-1};
  Engine.OnEndInference = [&](TInferenceEngine*, int32_t Fired) { Ended = Fired; };
  int32_t Fired = -1;
  std::future<void> Run = std::async(std::launch::async, [&] { Fired = Engine.Run(); });
  ASSERT_TRUE(Printed.WaitFor("spinning\r\n"));
  Engine.Halt();
  AwaitOrGiveUp(Run, Case.Name);
  EXPECT_NO_THROW(Run.get());
  // The halted firing is over but does not count; the run ended as a run does.
  EXPECT_EQ(Fired, 0);
  EXPECT_EQ(Ended.load(), 0);
  EXPECT_EQ(Printed.Text(), "spinning\r\n");  // neither the rest of the rule, nor a catch part
  EXPECT_TRUE(Engine.GetHalt());
  // The next run starts afresh and goes on with what is left on the agenda.
  EXPECT_EQ(Engine.GetAgendaCount(), 1);
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Printed.Text(), "spinning\r\nlater\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Loops, HaltFromAnotherThread,
    ::testing::Values(
        TRunawayCase{"While", "", "(while TRUE do (bind ?x 1))"},
        // 10^10 rounds, none of which runs forever by itself.
        TRunawayCase{"Foreach", "",
                     "(bind ?l " + HundredItems() +
                         ") (foreach ?a ?l (foreach ?b ?l (foreach ?c ?l (foreach ?d ?l (foreach ?e ?l (bind ?x 1))))))"},
        TRunawayCase{"InADeffunction", "(deffunction forever () (while TRUE do (bind ?x 1)))", "(forever)"},
        TRunawayCase{"InsideTry", "", "(try (while TRUE do (bind ?x 1)) catch (printout t \"caught\" crlf))"}),
    [](const ::testing::TestParamInfo<TRunawayCase>& Info) { return std::string(Info.param.Name); });

TEST(HaltFromAnotherThreadBetweenFirings, StopsRulesThatKeepActivatingEachOther) {
  TInferenceEngine Engine;
  Engine.Parse("(defrule tick (count ?n) => (assert (count (+ ?n 1))))"
               "(deffacts start (count 0))",
               false);
  Engine.Reset();
  std::atomic<int> Firings{0};
  Engine.OnRuleFired = [&](TInferenceEngine*, TRule*) { ++Firings; };
  int32_t Fired = 0;
  std::future<void> Run = std::async(std::launch::async, [&] { Fired = Engine.Run(); });
  for (auto Deadline = std::chrono::steady_clock::now() + 60s;
       Firings.load() < 50 && std::chrono::steady_clock::now() < Deadline;)
    std::this_thread::yield();
  Engine.Halt();
  AwaitOrGiveUp(Run, "StopsRulesThatKeepActivatingEachOther");
  Run.get();
  EXPECT_GE(Fired, 50);
  EXPECT_EQ(Fired, Firings.load());
  EXPECT_EQ(Engine.GetAgendaCount(), 1);  // the next tick waits for the next run
}

TEST(RuleHalt, LetsTheRuleBeingFiredAndItsLoopsFinish) {
  // "halt" in a rule stops the run after that rule: unlike a host's Halt it cuts no loop short.
  TInferenceEngine Engine;
  TPrinted Printed(Engine);
  Engine.Parse("(defrule count => (bind ?i 0) (while (< ?i 5) do (bind ?i (+ ?i 1)) (halt))"
               "  (foreach ?x (create$ a b) (halt) (printout t ?x crlf)) (printout t ?i crlf))"
               "(defrule later (declare (salience -1)) => (printout t \"later\" crlf))",
               false);
  Engine.Reset();
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Printed.Text(), "a\r\nb\r\n5\r\n");
  EXPECT_TRUE(Engine.GetHalt());
  EXPECT_EQ(Engine.Run(), 1);
  EXPECT_EQ(Printed.Text(), "a\r\nb\r\n5\r\nlater\r\n");
  // A halt still pending from a host ends a loop run outside any rule; SetHalt(false) withdraws it.
  Engine.Halt();
  EXPECT_EQ(ErrorOf([&] { Engine.ParseNExecuteFunCall("(while TRUE do (bind ?x 1))"); }), "Operation aborted");
  Engine.SetHalt(false);
  EXPECT_EQ(Engine.ParseNExecuteFunCall("(foreach ?x (create$ 1 2 3) (bind ?y ?x))")->GetAsInteger(), 3);
}

// ---------------------------------------------------------------------------------------------
// stack checks relative to the thread's own stack
// ---------------------------------------------------------------------------------------------

class StackOfSize : public ::testing::TestWithParam<size_t> {};

TEST_P(StackOfSize, RulesRunAndRunawayRecursionEndsInAnError) {
  if (DeepStacksAreSlow && GetParam() > (size_t{1} << 20)) GTEST_SKIP() << "deep stack under ThreadSanitizer";
  RunOnThreadWithStack(GetParam(), [] {
    EXPECT_GT(platform::ThreadStackSize(), 0u);
    TInferenceEngine Engine;
    TPrinted Printed(Engine);
    Engine.Parse("(deftemplate order (slot id) (slot qty (type INTEGER)))"
                 "(deffunction sum-to (?n) (if (<= ?n 0) then 0 else (+ ?n (sum-to (- ?n 1)))))"
                 "(defrule big (order (id ?i) (qty ?q&:(> ?q 10))) => (printout t ?i \" \" (sum-to 20) crlf))"
                 "(deffacts orders (order (id a) (qty 5)) (order (id b) (qty 50)))",
                 false);
    Engine.Reset();
    EXPECT_EQ(Engine.Run(), 1);
    EXPECT_EQ(Printed.Text(), "b 210\r\n");

    Engine.Parse("(deffunction down (?n) (+ 1 (down (+ ?n 1))))", false);
    EXPECT_NE(ErrorOf([&] { Engine.ParseNExecuteFunCall("(down 0)"); }).find("Nesting too deep, stopped at "),
              std::string::npos);
    std::string Deep;
    for (int I = 0; I < 100000; ++I) Deep += "(+ 1 ";
    EXPECT_NE(ErrorOf([&] { Engine.Parse(Deep, true); }).find("Nesting too deep, stopped at ParseFunCall"),
              std::string::npos);
    // The engine is still good for work.
    EXPECT_EQ(Engine.ParseNExecuteFunCall("(sum-to 10)")->GetAsInteger(), 55);
  });
}

INSTANTIATE_TEST_SUITE_P(Threads, StackOfSize, ::testing::Values(size_t{256} << 10, size_t{8} << 20),
                         [](const ::testing::TestParamInfo<size_t>& Info) {
                           return std::to_string(Info.param >> 10) + "KiB";
                         });

TEST(StackReserve, IsAPublishedSettingOfEachEngine) {
  const platform::TPropInfo* Info = platform::GetPropInfo(TInferenceEngine::StaticClass(), "StackReserve");
  ASSERT_NE(Info, nullptr);
  TInferenceEngine Engine;
  EXPECT_EQ(Engine.GetStackReserve(), 0);
  EXPECT_FALSE(Info->IsStored(Engine));
  platform::SetPropValue(Engine, "StackReserve", int64_t{1} << 20);
  EXPECT_EQ(Engine.GetStackReserve(), 1 << 20);
  Engine.SetStackReserve(-5);
  EXPECT_EQ(Engine.GetStackReserve(), 0);

  // A reserve larger than a small thread's stack counts as half of it: the engine still works.
  RunOnThreadWithStack(size_t{256} << 10, [] {
    TInferenceEngine E;
    E.SetStackReserve(INT32_MAX);
    EXPECT_EQ(E.ParseNExecuteFunCall("(+ 1 (* 2 3))")->GetAsInteger(), 7);
  });
}

TEST(StackReserve, ALargerReserveStopsRecursionSooner) {
  if (DeepStacksAreSlow) GTEST_SKIP() << "deep stack under ThreadSanitizer";
  // The deepest recursion an engine reaches on an 8 MiB stack: a larger reserve stops it sooner.
  auto Deepest = [](int32_t Reserve) {
    int32_t Depth = 0;
    RunOnThreadWithStack(size_t{8} << 20, [&] {
      TInferenceEngine E;
      E.SetStackReserve(Reserve);
      E.Parse("(defglobal ?*depth* = 0) (deffunction down (?n) (bind ?*depth* ?n) (+ 1 (down (+ ?n 1))))", false);
      EXPECT_NE(ErrorOf([&] { E.ParseNExecuteFunCall("(down 1)"); }).find("Nesting too deep"), std::string::npos);
      Depth = E.ParseNExecuteFunCall("(+ ?*depth* 0)")->GetAsInteger();
    });
    return Depth;
  };
  const int32_t Default = Deepest(0);
  const int32_t Reserved = Deepest(4 << 20);  // half the stack
  EXPECT_GT(Reserved, 0);
  EXPECT_LT(Reserved, Default * 3 / 4);
}

// ---------------------------------------------------------------------------------------------
// what engines on different threads share
// ---------------------------------------------------------------------------------------------

TEST(SharedConstants, RefuseEveryChange) {
  TInferenceEngine Engine;
  const IIEValue True = Engine.ParseValue("TRUE");
  ASSERT_EQ(True.get(), FCTrue.get());  // the host holds the shared constant itself
  EXPECT_EQ(ErrorOf([&] { True->SetAsInteger(1); }), "Cannot change TRUE, a constant shared by every engine");

  for (const IIEValue* Constant : {&FCTrue, &FCFalse, &FCEmptyString, &FCNil, &FCNilList, &FCCatch, &FCFinally,
                                   &FCExcept, &FCElse, &FCDo, &FCEOF, &FCThen, &FCPI, &FCZero}) {
    TIEValue& C = **Constant;
    const std::string Text = C.GetToString();
    const TIEType Kind = C.GetDType();
    const int32_t Tag = C.GetTag();
    EXPECT_THROW(C.SetAsInteger(7), EIEException) << Text;
    EXPECT_THROW(C.SetAsAtom("changed"), EIEException) << Text;
    EXPECT_THROW(C.SetAsFloat(2.5), EIEException) << Text;
    EXPECT_THROW(C.SetAsList(NewList()), EIEException) << Text;
    EXPECT_THROW(C.Assign(NewInteger(7)), EIEException) << Text;
    EXPECT_THROW(C.Assign(static_cast<const platform::TPersistent&>(*NewInteger(7))), EIEException) << Text;
    EXPECT_THROW(TIEValue().AssignTo(C), EIEException) << Text;
    EXPECT_THROW(C.SetOnChange([](TIEValue&) {}), EIEException) << Text;
    C.SetTag(Tag + 1);
    C.Reset();
    EXPECT_EQ(C.GetToString(), Text);
    EXPECT_EQ(C.GetDType(), Kind) << Text;
    EXPECT_EQ(C.GetTag(), Tag) << Text;
  }
  // The constant empty list's list is shared as well.
  const IValueVector Empty = FCNilList->GetAsList();
  EXPECT_THROW(Empty->Add(NewInteger(1)), EIEException);
  EXPECT_THROW(Empty->Reserve(10), EIEException);
  EXPECT_EQ(Empty->GetValueCount(), 0);

  // Every engine still answers with the constants it always had.
  TInferenceEngine Other;
  EXPECT_EQ(Other.ParseNExecuteFunCall("(eq 1 1)")->GetToString(), "TRUE");
  EXPECT_EQ(Other.ParseNExecuteFunCall("(length$ (create$))")->GetAsInteger(), 0);
}

TEST(SeparateEngines, RunSideBySideOnTheirOwnThreads) {
  // Each thread builds, redefines, runs, clears and destroys its own engines; what they share
  // (constants, class and property tables, the slot-place generation) must not mix them up.
  const std::string Program =
      "(deftemplate item (slot a) (slot b))"
      "(deftemplate item (slot b) (slot c (type INTEGER)) (slot d (default x)))"  // slots replaced
      "(deftype temperature extends (type FUZZY) (range 0 40) (units C)"
      "  (values (term cold ((0 1) (15 0))) (term hot ((20 0) (40 1)))))"
      "(deftemplate reading (slot t (type temperature)))"
      "(defglobal ?*total* = 0)"
      "(deffunction twice (?x) (* 2 ?x))"
      "(defrule add (item (b ?b) (c ?c) (d x)) => (bind ?*total* (+ ?*total* (twice ?c)))"
      "  (printout t ?b \" \" ?*total* crlf))"
      "(defrule warm (reading (t hot)) => (printout t \"warm \" (gensym*) crlf))"
      "(deffacts start (item (b one) (c 1)) (item (b two) (c 2)) (item (b three) (c 3)) (reading (t 35)))";
  auto RunOnce = [&Program] {
    TInferenceEngine Engine;
    TPrinted Printed(Engine);
    Engine.Parse(Program, false);
    for (int Round = 0; Round < 3; ++Round) {
      Engine.Reset();
      Engine.Run();
      Engine.Clear();
      Engine.Parse(Program, false);
    }
    return Printed.Text();
  };
  const std::string Expected = RunOnce();
  ASSERT_NE(Expected.find("warm gen"), std::string::npos) << Expected;
  std::vector<std::future<std::string>> Runs;
  for (int T = 0; T < 4; ++T)
    Runs.push_back(std::async(std::launch::async, [&] {
      std::string Last;
      for (int I = 0; I < 3; ++I) Last = RunOnce();
      return Last;
    }));
  for (std::future<std::string>& Run : Runs) EXPECT_EQ(Run.get(), Expected);
}

// Host objects named by values on several threads at once: the watches of all of them live in
// one table, and an object freed on one thread reads as no object from the values of engines
// that ran on others.
class TLink : public platform::TComponent {
  PLATFORM_CLASS(TLink, platform::TComponent)
 public:
  using TComponent::TComponent;
  static void DeclareProperties(platform::TPropertyList<TLink>& P) { P.AddField("Target", &TLink::Target); }
  platform::TComponent* Target = nullptr;
};

TEST(SeparateEngines, ShareHostObjectsAndTheirWatches) {
  auto* Common = new platform::TComponent;
  const std::string Program =
      "(defglobal ?*kept* = FALSE ?*mine* = FALSE)"
      "(deftemplate seen (slot what))"
      "(defrule look (seen (what ?w)) => (bind ?*kept* ?w))";
  std::vector<std::future<std::unique_ptr<platform::TComponent>>> Runs;
  for (int T = 0; T < 4; ++T)
    Runs.push_back(std::async(std::launch::async, [&] {
      auto Owner = std::make_unique<platform::TComponent>();
      auto* Link = new TLink(Owner.get());
      Link->SetName("Link");
      Link->Target = Common;
      auto* Engine = new TInferenceEngine(Owner.get());
      Engine->Parse(Program, false);
      for (int I = 0; I < 100; ++I) {
        Engine->Reset();
        // An object of its own, made and freed; the common one named by a fact and a global.
        Engine->ParseNExecuteFunCall("(bind ?*mine* (create-component TComponent (get-component)))");
        Engine->ParseNExecuteFunCall("(assert (seen (what (get-property (get-component Link) Target))))");
        Engine->Run();
        Engine->ParseNExecuteFunCall("(free-object ?*mine*)");
      }
      return Owner;
    }));
  std::vector<std::unique_ptr<platform::TComponent>> Owners;
  for (auto& Run : Runs) Owners.push_back(Run.get());
  delete Common;
  for (const auto& Owner : Owners) {
    EXPECT_EQ(Owner->GetComponentCount(), 2);  // the link and the engine: every made one is gone
    auto* Engine = dynamic_cast<TInferenceEngine*>(Owner->GetComponent(1));
    ASSERT_NE(Engine, nullptr);
    EXPECT_EQ(Engine->ParseNExecuteFunCall("(nth$ 0 (create$ ?*kept*))")->GetToString(), "");
    std::string Facts;
    for (const IFact& Fact : Engine->GetFacts().Items()) Facts += Fact->GetToString() + ";";
    EXPECT_EQ(Facts, "(Initial-Fact);(seen);") << "the fact naming the freed object prints without it";
  }
}
