#include "device/transport.h"

namespace vexal::device {

std::string_view transportKindName(TransportKind kind) {
    switch (kind) {
    case TransportKind::Sg: return "sg";
    case TransportKind::Iscsi: return "iscsi";
    case TransportKind::Virtual: return "virtual";
    }
    return "sg";
}

bool parseTransportKind(std::string_view text, TransportKind& kind) {
    for (TransportKind k : {TransportKind::Sg, TransportKind::Iscsi, TransportKind::Virtual}) {
        if (text == transportKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

}  // namespace vexal::device
