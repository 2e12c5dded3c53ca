// The only way the document windows connect a signal to a handler: through the general error
// report's guard, so that a failing handler is reported and never unwinds through Qt.
#pragma once

#include <QObject>
#include <utility>

#include "platform/Guard.h"

namespace wordproc {

template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection on(Sender* sender, Signal signal, const QObject* context, Handler handler) {
  return QObject::connect(sender, signal, context,
                          [handler = std::move(handler)](const auto&... args) mutable {
                            platform::GuardedCall(handler, args...);
                          });
}

// A slot of the receiver, called under the guard like any other handler.
template <typename Sender, typename Signal, typename Receiver, typename Result, typename Class,
          typename... Params>
QMetaObject::Connection on(Sender* sender, Signal signal, Receiver* receiver,
                           Result (Class::*slot)(Params...)) {
  return on(sender, signal, receiver,
            [receiver, slot](Params... args) { (receiver->*slot)(std::forward<Params>(args)...); });
}

}  // namespace wordproc
