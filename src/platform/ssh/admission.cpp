#include "platform/ssh/admission.h"

namespace cellshow {

Admission::Verdict Admission::Admit(const std::string& address) {
  if (stopping_) return Verdict::Stopping;
  if (connections_ >= limits_.maxViewers) return Verdict::Full;
  if (from(address) >= limits_.maxPerAddress) return Verdict::AddressFull;
  if (handshakes_ >= limits_.maxHandshakes) return Verdict::Busy;
  ++connections_;
  ++handshakes_;
  ++perAddress_[address];
  return Verdict::Admitted;
}

void Admission::Left(const std::string& address, bool inHandshake) {
  --connections_;
  if (inHandshake) --handshakes_;
  const auto at = perAddress_.find(address);
  if (at != perAddress_.end() && --at->second <= 0) perAddress_.erase(at);
}

int Admission::from(const std::string& address) const {
  const auto at = perAddress_.find(address);
  return at == perAddress_.end() ? 0 : at->second;
}

std::string Admission::Reason(Verdict verdict) const {
  switch (verdict) {
    case Verdict::Admitted:
      break;
    case Verdict::Full:
      return "cellshow: the show is full (" + std::to_string(limits_.maxViewers) +
             " viewers); try again later";
    case Verdict::AddressFull:
      return "cellshow: your address already has " + std::to_string(limits_.maxPerAddress) +
             " connections here; close one first";
    case Verdict::Busy:
      return "cellshow: too many viewers are connecting at once; try again in a moment";
    case Verdict::Stopping:
      return "cellshow: the server is stopping";
  }
  return "";
}

}  // namespace cellshow
