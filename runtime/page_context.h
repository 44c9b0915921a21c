// The per-thread page context: the host objects that the page objects of this thread work with.
#pragma once

#include "runtime/host_objects.h"

namespace sheetora {

/// References to the host objects of the current request; owns none of them.
struct PageContext {
  ObjectContext object_context;
  Server* server = nullptr;
  Response* response = nullptr;
  Request* request = nullptr;
};

/// Fills this thread's page context from the installed object context. Never fails: a missing
/// object leaves its field null, and the first page operation that needs it fails instead.
void AcquirePageContext();
/// Drops this thread's references. Never fails.
void ReleasePageContext();
/// This thread's page context.
const PageContext& CurrentPageContext();

}  // namespace sheetora
