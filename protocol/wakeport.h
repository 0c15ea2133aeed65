#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "codes.h"
#include "commands.h"
#include "exchangerecord.h"
#include "hardwareexception.h"

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
    std::recursive_mutex Lock;
    std::array<std::uint8_t, 256> TxBuf{};
    std::array<std::uint8_t, 256> RxBuf{};

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
    void SendRequest(int code, const std::string& name, int n);
    int ReceiveAnswer(int timeout);

    // The command set: one operation per actuator command, named as the command.
    std::string GetInfo();  // UTF-8
    void SetAddr(int addr);
    void SetM(int vmin, int extra);
    void GetM(int& vmin, int& extra);
    void SetA(int a, int ia);
    void GetA(int& a, int& ia);
    void SetP(int vp, int ip, int np);
    void GetP(int& vp, int& ip, int& np);
    void SetL(int vl, int il, int no, int nc);
    void GetL(int& vl, int& il, int& no, int& nc);
    void SetW(int v1, int i1, int v2, int i2, int v3, int i3, int v4, int i4);
    void GetW(int& v1, int& i1, int& v2, int& i2, int& v3, int& i3, int& v4, int& i4,
              int& workStatus);
    void SetS(int motionCode);
    void GetS(int& driveState, int& driveFlags);
    void SetN(int n);
    int GetN();
    void SetT(int nt);
    void GetT(int& nt);
    void GetI(int& inputCurrent);
    void SetR(int en1, int min1, int max1, int hyst1, int en2, int min2, int max2, int hyst2,
              int en3, int min3, int max3, int hyst3);
    void GetR(int& en1, int& min1, int& max1, int& hyst1, int& en2, int& min2, int& max2,
              int& hyst2, int& en3, int& min3, int& max3, int& hyst3);
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
    // ReceiveAnswer that also asks for at least minCount data bytes (the
    // error byte included), so that a short answer never decodes stale bytes.
    // An addressed request takes answers from DevAddr, or alsoFrom, only;
    // frames from others, or for another command, are skipped, and the wait
    // goes on within ExchangeBound. So it does past a frame that did not
    // decode: the outcome is then a damaged answer unless ours follows.
    int ReceiveAnswer(int timeout, int minCount, int alsoFrom = -1);
    // The longest one answer may take to arrive, whatever else the line carries.
    std::chrono::milliseconds ExchangeBound(int timeout) const;
    // Sends the command with its request data from TxBuf and takes an answer
    // of the command's full length (from alsoFrom too, see ReceiveAnswer).
    // Returns how many RxBuf bytes belong to the answer.
    int Exchange(wake::Command command, int alsoFrom = -1);
    // Raises EHardwareException for the command in Cmd; the observer is told
    // the outcome.
    [[noreturn]] void Fail(ExchangeOutcome outcome, int deviceError = 0);
    void Notify(ExchangeRecord& record, ExchangeOutcome outcome) const;
    void PutByte(int pos, int v);
    void PutWord(int pos, int v);
    int Byte(int pos) const;
    int Word(int pos) const;

    ExchangeObserver observer_;
    // How the last ReceiveAnswer ended, for the observer.
    ExchangeOutcome lastOutcome_ = ExchangeOutcome::NoAnswer;
    int lastCount_ = 0;
    std::vector<SkippedFrame> skipped_;
    int damagedFrames_ = 0;
};
