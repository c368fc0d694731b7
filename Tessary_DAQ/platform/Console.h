// Keys typed at the console. The program logic reads keys through
// KeyInput, so that tests can feed it keys without a terminal;
// ConsoleKeys is the real one. One implementation file per operating
// system.
#pragma once

namespace tessary::platform {

// ReadKey's answer when no key can ever come (end of input, an error, or a
// stop signal while waiting).
inline constexpr int kNoMoreKeys = -1;
// ReadKey's answer for a key that arrived as an escape sequence (arrows,
// function keys, Alt with a key): one value for the whole sequence.
inline constexpr int kUnknownKey = 0x100;
// ReadKey's answer for the Escape key on its own.
inline constexpr int kEscapeKey = 27;
// How long after an ESC byte the rest of a sequence may take to come, in
// milliseconds; an ESC followed by nothing for this long is the Escape
// key. Terminals send a sequence in one go, so this is short enough not
// to be noticed.
inline constexpr int kEscapeSequenceWaitMs = 30;

class KeyInput {
public:
    virtual ~KeyInput() = default;
    virtual bool KeyWaiting() = 0;  // never blocks
    virtual int ReadKey() = 0;      // blocks until a key; kNoMoreKeys when none can ever come
};

// Keys from a file descriptor (standard input by default), which it reads
// but does not own.
//
// On a terminal the constructor switches it to raw mode: keys arrive one
// by one without Enter and are not echoed. Ctrl-C and the like still
// raise their signals, and output processing is left alone, so "\n" still
// starts a new line. The terminal is put back exactly as found by the
// destructor, at normal exit (an atexit handler) and by RestoreConsole(),
// whichever comes first; the later ones do nothing. Only one ConsoleKeys
// at a time switches a terminal: one made while another one holds it
// reads the terminal as it finds it. Make and destroy it from one thread.
//
// Anything else (a pipe, a file) is read byte by byte as it is, so that a
// run can be scripted: (sleep 1; printf s; sleep 10; printf q) | program.
//
// Either way, an escape sequence comes back as one kUnknownKey, never as
// the bytes inside it, and a lone ESC as kEscapeKey. After the end of the
// input or a read error, KeyWaiting() is false and ReadKey() returns
// kNoMoreKeys at once, for good.
//
// Stop signals (see Signals.h): when one arrives while ReadKey() waits, it
// returns kNoMoreKeys, so that a wait for a key on the way out ends on
// Ctrl-C; once a stop has been requested it no longer waits at all and
// returns kNoMoreKeys unless a key is already there. This needs
// InstallStopSignals() to have been called.
class ConsoleKeys : public KeyInput {
public:
    explicit ConsoleKeys(int fd = 0);
    ~ConsoleKeys() override;
    ConsoleKeys(const ConsoleKeys&) = delete;
    ConsoleKeys& operator=(const ConsoleKeys&) = delete;

    // True when a key (or the start of one) can be read now. Never blocks.
    bool KeyWaiting() override;
    // The next key: a byte value 0..255, kEscapeKey, kUnknownKey, or
    // kNoMoreKeys. Blocks only while a key can still come.
    int ReadKey() override;

    // True when this object switched a terminal to raw mode (and has not
    // put it back yet).
    bool InRawMode() const;

private:
    int NextByte(int timeoutMs);
    int ReadByte();
    int AfterEscape();

    int fd_;
    int pending_ = -1;  // a byte read ahead, or -1
    bool ended_ = false;
};

// Puts a terminal switched by a ConsoleKeys back as it was found. Safe to
// call from a signal handler on a fatal path (it only calls tcsetattr),
// and harmless when there is nothing to restore or it was done already.
void RestoreConsole();

}  // namespace tessary::platform
