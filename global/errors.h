// Errors are raised as exceptions carrying the exact message text the user sees.
#pragma once
#include <stdexcept>
#include <string>

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Replaces the first "%s" of a message pattern with a value.
std::string Format(const std::string& pattern, const std::string& value);
