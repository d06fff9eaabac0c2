#include "operation/operation_pump.h"

#include "operation/operation_host.h"

namespace kelvane {

OperationPump::OperationPump(OperationHost& host, std::atomic<bool>& cancelled)
    : host_(host), cancelled_(cancelled) {}

bool OperationPump::Pump() {
  host_.PumpMessages();
  if (cancelTaken_ || !host_.CancelConfirmed()) return false;
  cancelled_ = true;
  cancelTaken_ = true;
  return true;
}

void OperationPump::Reset() {
  cancelled_ = false;
  cancelTaken_ = false;
}

}  // namespace kelvane
