#include "tarven/options.h"

namespace tarven {

Options Options::reference() {
  Options o;
  o.engine = Engine::kNested;
  o.threads = 1;
  o.memo = false;
  o.keep_constants = false;
  return o;
}

Options Options::fast() {
  Options o;
  o.engine = Engine::kNested;
  o.threads = 0;
  o.memo = true;
  o.keep_constants = true;
  return o;
}

}  // namespace tarven
