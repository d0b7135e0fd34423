#include "card/CardAnswer.h"

namespace talvern::card {

CardAnswer evaluateCardAnswer(const Bytes& received, std::uint32_t systemCode) {
    CardAnswer answer;
    if (received.size() < 5) {
        return answer;
    }
    answer.identity = identityFromBytes({received[0], received[1], received[2], received[3], received[4]});
    answer.kind =
        answer.identity.systemCode == systemCode ? CardAnswer::Kind::ThisSystem : CardAnswer::Kind::OtherSystem;
    return answer;
}

} // namespace talvern::card
