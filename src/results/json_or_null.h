// An optional value as JSON: the value, or null where there is none.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>

namespace brisk {

template <typename T>
nlohmann::ordered_json or_null(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

}  // namespace brisk
