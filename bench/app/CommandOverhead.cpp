// The Read and Write commands against the virtual gyro with its line timing: how much
// longer each takes than its fixed waits and the time the line itself needs.
//
// What the line and the waits account for, with 1.25 ms a byte and the gyro's 5 ms
// turnaround:
//   Read:  the 1000-byte burst holds the writer until all but the adapter's 256-byte
//          transmit buffer is on the line (744 bytes), then 500 ms, then the read request
//          (17 bytes, echoed) and the reply's other 84 bytes after the turnaround.
//   Write: nine pages, each followed by 100 ms (a frame fits the transmit buffer and is on
//          the line long before the next), the closing frame, 500 ms, then the read-back
//          as above.
// The waits are the requested ones, recorded by a pause that sleeps for real; what is
// left over is the overhead: code, system calls, scheduling and sleep overshoot.
#include <cstdint>
#include <vector>

#include "BenchSupport.h"
#include "gyro/Commands.h"
#include "gyro/KR640.h"
#include "gyro/Pause.h"

namespace {

constexpr double kByteMs = 1.25;
constexpr double kTurnaroundMs = 5.0;
constexpr double kReadTransactionLineMs = 17 * kByteMs + kTurnaroundMs + 84 * kByteMs;
constexpr double kBurstHoldMs = (1000 - 256) * kByteMs;

class SleepingRecorder final : public Pause {
  public:
    SleepingRecorder() : previous_(InstallPause(this)) {}
    ~SleepingRecorder() override { InstallPause(previous_); }
    void Wait(std::uint32_t milliseconds) override {
        requested_ += milliseconds;
        previous_->Wait(milliseconds);
    }
    double TakeRequested() {
        const double r = requested_;
        requested_ = 0;
        return r;
    }

  private:
    Pause* previous_;
    double requested_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::atoi(argv[1]) : 10;
    const int writes = argc > 2 ? std::atoi(argv[2]) : 5;
    UseTimedVirtualGyro();
    TBX3 adapter;
    adapter.Initialize();
    adapter.Open();
    KR640 gyro(adapter);
    SleepingRecorder pause;

    std::vector<double> readOverhead;
    for (int i = 0; i < reads; ++i) {
        const auto start = BenchClock::now();
        RunReadCommand(gyro);
        const double took = Milliseconds(BenchClock::now() - start);
        const double expected = kBurstHoldMs + pause.TakeRequested() + kReadTransactionLineMs;
        readOverhead.push_back(took - expected);
        if (i == 0) Report("read.expected", expected, "ms");
    }
    std::vector<double> writeOverhead;
    for (int i = 0; i < writes; ++i) {
        // A changed record each time, so the gyro really stores something.
        gyro.workingRecord.setBaseGain(static_cast<std::uint8_t>(40 + i));
        const auto start = BenchClock::now();
        RunWriteCommand(gyro);
        const double took = Milliseconds(BenchClock::now() - start);
        const double expected = pause.TakeRequested() + kReadTransactionLineMs;
        writeOverhead.push_back(took - expected);
        if (i == 0) Report("write.expected", expected, "ms");
    }

    const Summary r = Summarise(readOverhead);
    const Summary w = Summarise(writeOverhead);
    Report("read.runs", reads, "");
    Report("read.overhead.median", r.median, "ms");
    Report("read.overhead.max", r.max, "ms");
    Report("write.runs", writes, "");
    Report("write.overhead.median", w.median, "ms");
    Report("write.overhead.max", w.max, "ms");
    return 0;
}
