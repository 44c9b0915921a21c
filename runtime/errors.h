// The two ways a page method can leave early: the page-end signal and a run-time error.
#pragma once

#include <stdexcept>
#include <string>

namespace sheetora {

/// The page has ended its response and must stop now. Carries nothing and is deliberately not a
/// std::exception, so that no handler written for errors swallows it by accident.
struct PageEnd {};

/// A run-time error of the page language: a number and the description that the error log shows.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int number() const { return number_; }
  std::string description() const { return what(); }

  static RuntimeError Overflow() { return {6, "Overflow"}; }
  static RuntimeError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
  static RuntimeError DivisionByZero() { return {11, "Division by zero"}; }
  static RuntimeError TypeMismatch() { return {13, "Type mismatch"}; }
  static RuntimeError ObjectRequired() { return {424, "Object required"}; }

 private:
  int number_;
};

}  // namespace sheetora
