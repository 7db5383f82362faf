#include "questions/CpException.h"

#include <utility>

CpException::CpException(std::string message) : m_message(std::move(message)) {}

CpException::CpException(const CpException& cause, std::string message)
    : m_message(std::move(message)), m_cause(std::make_unique<CpException>(cause)) {}

CpException::CpException(const CpException& other)
    : m_message(other.m_message),
      m_cause(other.m_cause ? std::make_unique<CpException>(*other.m_cause) : nullptr) {}

CpException& CpException::operator=(const CpException& other) {
    if (this != &other) {
        CpException copy(other);
        m_message = std::move(copy.m_message);
        m_cause = std::move(copy.m_cause);
    }
    return *this;
}

CpException::~CpException() = default;

std::string CpException::GetMessageText() const {
    return m_message;
}

CpException* CpException::GetCause() const {
    return m_cause.get();
}

std::string CpException::BuildMessage() const {
    std::string text = m_message + "\n";
    if (m_cause) {
        text += "  -";
        text += m_cause->BuildMessage();
    }
    return text;
}
