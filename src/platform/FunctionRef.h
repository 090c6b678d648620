#pragma once

// A non-owning reference to a callable, for callbacks used only during a call.

#include <memory>
#include <type_traits>
#include <utility>

namespace qavn {

template <typename Signature>
class FunctionRef;

// A non-owning reference to a callable, for callbacks that are only used
// during the call they are passed to.
template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
public:
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef> &&
                                          std::is_invocable_r_v<R, F&, Args...>>>
    FunctionRef(F&& f) noexcept // NOLINT: implicit by design
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          call_([](void* object, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
          })
    {
    }

    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

} // namespace qavn
