#include "link/telnet_codec.h"

namespace {

constexpr quint8 kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr quint8 kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// RFC 2217 commands; the server answers each with the code plus 100.
constexpr quint8 kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5;
constexpr quint8 kServerOffset = 100;

QByteArray bytes(std::initializer_list<quint8> list)
{
    QByteArray out;
    for (quint8 b : list)
        out.append(char(b));
    return out;
}

QByteArray subnegotiation(quint8 command, const QByteArray &value)
{
    return bytes({kIac, kSb, kComPort, command}) + TelnetCodec::escape(value) + bytes({kIac, kSe});
}

bool supported(quint8 option) { return option == kBinary || option == kSuppressGoAhead || option == kComPort; }

}  // namespace

TelnetCodec::TelnetCodec()
    : agreed_{kWill * 256 + kComPort, kWill * 256 + kBinary, kDo * 256 + kBinary, kWill * 256 + kSuppressGoAhead,
              kDo * 256 + kSuppressGoAhead}
{
}

QMap<int, QByteArray> TelnetCodec::wantedSettings()
{
    return {{kServerOffset + kSetBaud, bytes({0, 0, 0x25, 0x80})},  // 9600
            {kServerOffset + kSetDataSize, bytes({8})},
            {kServerOffset + kSetParity, bytes({1})},     // none
            {kServerOffset + kSetStopSize, bytes({1})},   // one
            {kServerOffset + kSetControl, bytes({1})}};   // no flow control
}

QByteArray TelnetCodec::opening()
{
    QByteArray out = bytes({kIac, kWill, kComPort, kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill,
                            kSuppressGoAhead, kIac, kDo, kSuppressGoAhead});
    const QMap<int, QByteArray> wanted = wantedSettings();
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        out += subnegotiation(quint8(it.key() - kServerOffset), it.value());
    return out;
}

QByteArray TelnetCodec::baudQuery() { return subnegotiation(kSetBaud, bytes({0, 0, 0, 0})); }

QByteArray TelnetCodec::escape(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (char c : data) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

QByteArray TelnetCodec::decode(const QByteArray &in, QByteArray *answer)
{
    QByteArray data;
    for (const char c : in) {
        const quint8 b = quint8(c);
        switch (state_) {
        case Data:
            if (b == kIac)
                state_ = Command;
            else
                data.append(c);
            break;
        case Command:
            if (b == kIac) {
                data.append(c);
                state_ = Data;
            } else if (b >= kWill && b <= kDont) {
                verb_ = b;
                state_ = Option;
            } else if (b == kSb) {
                sub_.clear();
                state_ = Sub;
            } else {
                state_ = Data;  // NOP, go-ahead and the like carry nothing
            }
            break;
        case Option:
            negotiate(verb_, b, answer);
            state_ = Data;
            break;
        case Sub:
            if (b == kIac)
                state_ = SubCommand;
            else
                sub_.append(c);
            break;
        case SubCommand:
            if (b == kIac) {
                sub_.append(c);
                state_ = Sub;
                break;
            }
            // IAC SE (or anything else, which ends it as well)
            if (sub_.size() >= 2 && quint8(sub_[0]) == kComPort)
                replies_.insert(quint8(sub_[1]), sub_.mid(2));
            state_ = Data;
            break;
        }
    }
    return data;
}

// Each option is answered once; what was asked for is not asked again.
void TelnetCodec::negotiate(quint8 verb, quint8 option, QByteArray *answer)
{
    if (verb == kDont || verb == kWont)
        return;
    const quint8 reply = verb == kDo ? (supported(option) ? kWill : kWont) : (supported(option) ? kDo : kDont);
    if (agreed_.contains(reply * 256 + option))
        return;
    if (supported(option))
        agreed_.insert(reply * 256 + option);
    answer->append(bytes({kIac, reply, option}));
}
