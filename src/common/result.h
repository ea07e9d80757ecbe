#pragma once
// The one error convention: a function that can fail returns a Result holding either its value
// or an Error (a sentence for the user and, where a message table needs one, a code). A job's
// result also lists per-item failures (see jobs/job_control.h). Nothing is thrown across slots.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace quenda {

struct Error {
    QString message;
    int code = 0;
};

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }

    // Only on a failed result.
    const Error &error() const { return std::get<1>(m_state); }
    QString message() const { return ok() ? QString() : error().message; }
    int code() const { return ok() ? 0 : error().code; }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error &error() const { return *m_error; }
    QString message() const { return ok() ? QString() : m_error->message; }
    int code() const { return ok() ? 0 : m_error->code; }

private:
    std::optional<Error> m_error;
};

using Status = Result<void>;

inline Error fail(QString message, int code = 0)
{
    return Error{std::move(message), code};
}

// The status of a reader that keeps its first fault as a sentence: ok while there is none.
inline Status faultStatus(const QString &fault)
{
    return fault.isEmpty() ? Status() : Status(fail(fault));
}

// The system's own wording for an errno value ("No space left on device").
QString systemErrorText(int errnoValue);

} // namespace quenda
