#pragma once

// How a piece of work that can be cancelled ended: done, stopped by the
// user, or failed with the error that stopped it.

#include <optional>
#include <utility>

namespace qavn {

template <typename Error>
class [[nodiscard]] Outcome {
public:
    enum class Kind { Done, Stopped, Failed };

    static Outcome done() { return Outcome(Kind::Done); }
    static Outcome stopped() { return Outcome(Kind::Stopped); }
    // A failure, from the error that caused it.
    Outcome(Error error) : kind_(Kind::Failed), error_(std::move(error)) {}

    Kind kind() const { return kind_; }
    bool isDone() const { return kind_ == Kind::Done; }
    bool isStopped() const { return kind_ == Kind::Stopped; }
    bool isFailed() const { return kind_ == Kind::Failed; }

    // The error; only when isFailed().
    const Error& error() const { return *error_; }

private:
    explicit Outcome(Kind kind) : kind_(kind) {}

    Kind kind_;
    std::optional<Error> error_;
};

} // namespace qavn
