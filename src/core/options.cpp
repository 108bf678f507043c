#include "tarven/options.h"

namespace tarven {

const char* engine_name(Engine engine) {
  switch (engine) {
    case Engine::kSingle:
      return "single";
    case Engine::kNested:
      return "nested";
  }
  return "";
}

std::optional<Engine> parse_engine(std::string_view name) {
  for (const Engine engine : kEngines)
    if (name == engine_name(engine)) return engine;
  return std::nullopt;
}

Options Options::nested() {
  Options o;
  o.engine = Engine::kNested;
  return o;
}

Options Options::nested_straightforward() {
  Options o = nested();
  o.threads = 1;
  o.memo = false;
  o.keep_constants = false;
  return o;
}

}  // namespace tarven
