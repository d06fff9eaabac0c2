// What a run needs from the window it runs in: what any operation needs
// (operation/operation_host.h), and to hear how the run ended.
#pragma once

#include "operation/operation_host.h"
#include "run/run_report.h"

namespace kelvane {

class RunHost : public OperationHost {
 public:
  // The run is over, as `report` says; nothing more is asked of the host. A
  // window lets its cancel button close it from now on.
  virtual void RunEnded(const RunReport& report) = 0;
};

}  // namespace kelvane
