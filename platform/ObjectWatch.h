// Watching an object for its destruction: a weak reference to any TObject.
//
// Components tell their free-notification partners when they go; plain objects tell nobody.
// A holder that keeps a plain pointer to an object it does not own (a rule value naming a host
// object) registers a watch, and is told when the object is destroyed, by whoever frees it and
// on whatever thread, before its memory is released.  An object that was never watched pays
// nothing but one flag test in its destructor.
//
// The callback runs under the watch table's lock: it must be short and must not watch, unwatch
// or free objects.  A watcher must unwatch before it is itself destroyed.
#pragma once

#include "Object.h"

namespace platform {

using TObjectGoneProc = void (*)(void* Watcher, const TObject& Gone) noexcept;

// Registers Watcher for Object; Proc is called once when Object is destroyed, after which the
// watch no longer exists.  Watching the same object twice from the same watcher is harmless.
void WatchObject(const TObject& Object, void* Watcher, TObjectGoneProc Proc);
// Drops every watch Watcher has on Object (nothing when there is none).
void UnwatchObject(const TObject& Object, void* Watcher) noexcept;
// Number of live watches on Object (for tests and diagnostics).
int WatchCount(const TObject& Object) noexcept;

namespace detail {
// Called by ~TObject for a watched object.
void ObjectDestroyed(const TObject& Object) noexcept;
}  // namespace detail

}  // namespace platform
