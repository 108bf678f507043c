#include "core/seams.h"

namespace tarven::core {
namespace {

const Seams kNone{};
thread_local const Seams* t_seams = nullptr;

}  // namespace

ScopedSeams::ScopedSeams(Seams seams) : seams_(std::move(seams)), outer_(t_seams) {
  t_seams = &seams_;
}

ScopedSeams::~ScopedSeams() {
  t_seams = outer_;
}

const Seams& seams() {
  return t_seams != nullptr ? *t_seams : kNone;
}

}  // namespace tarven::core
