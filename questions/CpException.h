#pragma once

#include <memory>
#include <string>

// The error raised while reading or saving a question-set file. It owns the
// exception that caused it, if any, and through it the whole chain.
class CpException {
public:
    explicit CpException(std::string message);
    CpException(const CpException& cause, std::string message);
    CpException(const CpException& other);
    CpException& operator=(const CpException& other);
    virtual ~CpException();

    std::string GetMessageText() const;
    CpException* GetCause() const;

    // One line per exception of the chain, each ended by "\n"; every line after
    // the first starts with "  -".
    std::string BuildMessage() const;

private:
    std::string m_message;
    std::unique_ptr<CpException> m_cause;
};
