// Drives modal windows in tests: the next modal window (of a given class) that opens is handed
// to a step, which answers it as a user would.
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace editortest {

// Runs Step on the next modal window of class W to open (within ten seconds), from the event
// loop that window runs.  A window that never opens fails the test by leaving Done false.
template <class W>
void OnNextModal(std::function<void(W&)> Step, bool* Done = nullptr) {
  auto Clock = std::make_shared<QElapsedTimer>();
  Clock->start();
  auto Poll = std::make_shared<std::function<void()>>();
  *Poll = [Step, Done, Clock, Poll]() {
    if (auto* Window = qobject_cast<W*>(QApplication::activeModalWidget())) {
      if (Done) *Done = true;
      Step(*Window);
      *Poll = nullptr;  // breaks the cycle
      return;
    }
    if (Clock->elapsed() > 10000) {
      *Poll = nullptr;
      return;
    }
    QTimer::singleShot(5, [Poll] {
      if (*Poll) (*Poll)();
    });
  };
  QTimer::singleShot(0, [Poll] {
    if (*Poll) (*Poll)();
  });
}

}  // namespace editortest
