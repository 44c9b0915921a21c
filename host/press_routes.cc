#include "host/press_routes.h"

#include <utility>

#include "press/impose_api.h"

namespace sheetora {

AppAnswer ServeImposeApi(const AppRequest& request) {
  press::ImposeAnswer answer =
      press::ImposeEndpoint(request.method, request.content_type, request.body);
  return {.status = answer.status,
          .content_type = std::move(answer.content_type),
          .body = std::move(answer.body),
          .headers = std::move(answer.headers)};
}

}  // namespace sheetora
