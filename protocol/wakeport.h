#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "codes.h"
#include "commands.h"
#include "exchangerecord.h"
#include "hardwareexception.h"

// The values of the commands that carry more than one, in the order the
// frame carries them; a Set command sends what its Get command reads.
struct MValues {
    int vmin = 0;
    int extra = 0;  // the drive's extra value
};
struct AValues {
    int a = 0;
    int ia = 0;
};
struct PValues {
    int vp = 0;
    int ip = 0;
    int np = 0;
};
struct LValues {
    int vl = 0;
    int il = 0;
    int no = 0;
    int nc = 0;
};
// One of SetW's four speeds with its current.
struct SpeedStep {
    int v = 0;
    int i = 0;
};
using SpeedSteps = std::array<SpeedStep, 4>;
struct WValues {
    SpeedSteps steps{};
    int workStatus = 0;  // GetW only
};
struct DriveStatus {
    int state = 0;
    int flags = 0;
};
// One of SetR's three relays.
struct RelayChannel {
    int en = 0;
    int min = 0;
    int max = 0;
    int hyst = 0;
};
using RelayChannels = std::array<RelayChannel, 3>;

// The program's only way to the actuators: the port in use, the selected
// network address, and one request/answer exchange per command.
// Port 0 means no port: every exchange then fails at once ("Порт не открыт."),
// so that nothing is decoded from an old answer. So does a port in use whose
// device did not open or has gone away (unplugged) until Reopen succeeds.
class TWakePort {
public:
    explicit TWakePort(int maxPort);
    virtual ~TWakePort();
    TWakePort(const TWakePort&) = delete;
    TWakePort& operator=(const TWakePort&) = delete;

    int MaxPort = 0;
    std::string PortName;  // "COMn", a device path, or "None" when no port is in use
    // 1..MaxPort; 0 = no port; DevicePathPort for a device path (a name
    // with the system's path separator, as tools and tests open a port).
    int Port = 0;
    static constexpr int DevicePathPort = -1;
    int AnswerTimeout = 100;  // ms to wait for each answer byte
    int Baud = 9600;
    int DevAddr = 0;  // 0..127; 0 sends frames without an address byte
    int Cmd = 0;
    std::string CmdName;

    std::string GetPortName(int n) const;
    int GetPortNum(const std::string& name) const;
    void SetPort(int n);
    void SetPortName(const std::string& name);
    bool PortAvailable(int n) const;
    bool PortAvailable(const std::string& name) const;
    // True when the library opened the port. The window does not look at it:
    // a port that did not open shows at the first exchange.
    bool Open(int n, int baud);
    bool Open(const std::string& name, int baud);
    void Close();
    // The port in use is open: the library holds its device. False after an
    // open that failed and once the library found the device gone.
    bool Connected() const;
    // Opens the port in use again by its name (so the name is resolved
    // afresh: a re-created link, a re-enumerated adapter), at Baud and in
    // the mode Open sets. True when it is open now.
    bool Reopen();
    void SetDevAddr(int a);
    // A bare exchange, for a caller that frames its own (a late answer after
    // the scan): the request carries the first n bytes the last command
    // put into its request.
    void SendRequest(int code, const std::string& name, int n);
    int ReceiveAnswer(int timeout);
    // The data bytes of the answer the last exchange (or ReceiveAnswer) took.
    std::span<const std::uint8_t> LastAnswer() const;

    // The command set: one operation per actuator command, named as the command.
    std::string GetInfo();  // UTF-8
    void SetAddr(int addr);
    // A Get raises when the exchange fails, and then returns nothing.
    void SetM(const MValues& m);
    MValues GetM();
    void SetA(const AValues& a);
    AValues GetA();
    void SetP(const PValues& p);
    PValues GetP();
    void SetL(const LValues& l);
    LValues GetL();
    void SetW(const SpeedSteps& steps);
    WValues GetW();
    void SetS(int motionCode);
    DriveStatus GetS();
    void SetN(int n);
    int GetN();
    void SetT(int nt);
    int GetT();
    int GetI();  // the input current, microamperes
    void SetR(const RelayChannels& relays);
    RelayChannels GetR();
    int GetRS();

    // Called once after every command's exchange, whatever its outcome; an
    // empty observer costs nothing. What the observer throws is swallowed.
    void SetObserver(ExchangeObserver observer);

    // How the last exchange (or ReceiveAnswer) ended, and the good frames it
    // skipped because they were not its answer (late or foreign answers).
    ExchangeOutcome LastOutcome() const { return lastOutcome_; }
    const std::vector<SkippedFrame>& LastSkipped() const { return skipped_; }
    int LastDamagedFrames() const { return damagedFrames_; }

private:
    // The tests of the client look at the buffers and the lock.
    friend struct WakePortTestAccess;

    // ReceiveAnswer that also asks for at least minCount data bytes (the
    // error byte included), so that a short answer never decodes stale bytes.
    // An addressed request takes answers from DevAddr, or alsoFrom, only;
    // frames from others, or for another command, are skipped, and the wait
    // goes on within ExchangeBound. So it does past a frame that did not
    // decode: the outcome is then a damaged answer unless ours follows.
    int ReceiveAnswer(int timeout, int minCount, int alsoFrom = -1);
    // The longest one answer may take to arrive, whatever else the line carries.
    std::chrono::milliseconds ExchangeBound(int timeout) const;
    // Sends the command with its request data from txBuf_ and takes an answer
    // of the command's full length (from alsoFrom too, see ReceiveAnswer).
    // Returns how many rxBuf_ bytes belong to the answer.
    int Exchange(wake::Command command, int alsoFrom = -1);
    // Raises EHardwareException for the command in Cmd; the observer is told
    // the outcome.
    [[noreturn]] void Fail(ExchangeOutcome outcome, int deviceError = 0);
    void Notify(ExchangeRecord& record, ExchangeOutcome outcome) const;
    // One exchange whose request carries `values` and whose answer's values
    // come back, both in the order and layout of the command table (a
    // signed word comes back signed).
    std::vector<int> Call(wake::Command command, std::span<const int> values = {},
                          int alsoFrom = -1);

    // Each command holds it from filling txBuf_ to the end of decoding.
    std::recursive_mutex lock_;
    std::array<std::uint8_t, 256> txBuf_{};
    std::array<std::uint8_t, 256> rxBuf_{};
    ExchangeObserver observer_;
    // How the last ReceiveAnswer ended, for the observer.
    ExchangeOutcome lastOutcome_ = ExchangeOutcome::NoAnswer;
    int lastCount_ = 0;
    std::vector<SkippedFrame> skipped_;
    int damagedFrames_ = 0;
};
