// Prints the key table (binding/option_keys.h) as JSON, so that the dialog
// script's test can check Kelvane.js against the build's own table: each
// key's name, type, meaning, default and the values the dialog stores (null
// where there is no limit).
#include "option_keys.h"

#include <nlohmann/json.hpp>

#include <iostream>

int main() {
  nlohmann::json keys = nlohmann::json::array();
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys)
    keys.push_back({{"name", key.name},
                    {"type", kelvane::typeName(key)},
                    {"meaning", key.meaning},
                    {"initial", key.initial},
                    {"low", key.limits.low},
                    {"high", key.limits.high},
                    {"open", key.limits.open}});
  std::cout << keys.dump(1) << "\n";
}
