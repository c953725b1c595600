// The owning pointers of the support library. They are the standard ones under
// the names the program uses: one owner, never copied, never shared.
#pragma once

#include <memory>

namespace Vek_autopointer {

template <class T> using TCustomAutoPointer = std::unique_ptr<T>;
template <class T> using TAutoPointer = std::unique_ptr<T>;
template <class T> using TAutoArray = std::unique_ptr<T[]>;

} // namespace Vek_autopointer
