// Measures one start of a window program, or one Connect click, from
// outside the program: an X client that watches the root window.
//
//   probe startup PROGRAM [ARGS...]
//     prints "mapped_ms painted_ms peak_rss_kib": from fork to the program's
//     first top-level window being mapped, to its first paint having finished
//     (the last damage before DAMAGE_QUIET_MS without any), and the program's
//     VmHWM while the window is up. Then asks the window to close
//     (WM_DELETE_WINDOW) and waits for the program to end.
//
//   probe connect X Y PROGRAM [ARGS...]
//     starts PROGRAM, waits for its window to be painted, clicks at (X, Y) in
//     that window and prints "client_main_ms exited_ms": from the click to the
//     started client's main running, and to PROGRAM having exited.
//
//   probe spawn CLIENT
//     prints "client_main_ms": from posix_spawn to CLIENT's main running.
//
// The client reports its main by writing its CLOCK_MONOTONIC time in
// nanoseconds (8 bytes) to its standard output, which is a pipe to the probe.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int kDamageQuietMs = 200;
constexpr int kTimeoutMs = 10000;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "probe: %s\n", why.c_str());
  std::exit(1);
}

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

// A window may be gone before the probe asks about it; that is not a fault.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

long PeakRssKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> value;
      break;
    }
    status.ignore(1 << 16, '\n');
  }
  return value;
}

// Starts argv with its standard output on a pipe whose read end is returned.
pid_t Start(char** argv, int* output) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) Fail("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execvp(argv[0], argv);
    _exit(127);
  }
  close(pipeEnds[1]);
  *output = pipeEnds[0];
  return pid;
}

// The client's report of its main: its clock in nanoseconds.
int64_t ReadClientMain(int output) {
  pollfd ready{output, POLLIN, 0};
  int64_t ns = 0;
  if (poll(&ready, 1, kTimeoutMs) != 1 || read(output, &ns, sizeof ns) != sizeof ns) {
    Fail("the client did not report its main");
  }
  return ns;
}

// The X side: the program's first top-level window, its map and its paint.
class Watcher {
 public:
  Watcher() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) Fail("cannot open the display");
    int errorBase = 0;
    if (!XDamageQueryExtension(display_, &damageEvent_, &errorBase)) Fail("no XDamage");
    XSetErrorHandler(IgnoreXErrors);
    root_ = DefaultRootWindow(display_);
    XSelectInput(display_, root_, SubstructureNotifyMask);
    XSync(display_, False);
  }
  ~Watcher() { XCloseDisplay(display_); }

  // Returns when the first mapped top-level window has had no damage for
  // kDamageQuietMs; the times are those at which the events arrived.
  void WaitForPaint(int64_t* mappedNs, int64_t* paintedNs) {
    *mappedNs = *paintedNs = 0;
    const int64_t deadline = NowNs() + int64_t{kTimeoutMs} * 1'000'000;
    while (NowNs() < deadline) {
      int waitMs = kTimeoutMs;
      if (*paintedNs != 0) {
        waitMs = kDamageQuietMs - static_cast<int>((NowNs() - *paintedNs) / 1'000'000);
        if (waitMs <= 0) return;
      }
      if (!XPending(display_) && !WaitForEvents(waitMs)) continue;
      XEvent event;
      XNextEvent(display_, &event);
      const int64_t now = NowNs();
      if (event.type == CreateNotify && event.xcreatewindow.parent == root_) {
        // Damage is watched from creation: the first paint may come before
        // the probe hears of the map.
        XDamageCreate(display_, event.xcreatewindow.window, XDamageReportRawRectangles);
      } else if (event.type == MapNotify && window_ == 0 && event.xmap.event == root_ &&
                 !event.xmap.override_redirect) {
        window_ = event.xmap.window;
        *mappedNs = now;
      } else if (event.type == damageEvent_ + XDamageNotify) {
        const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
        if (window_ != 0 && damage.drawable == window_) *paintedNs = now;
      }
    }
    Fail("no window was painted");
  }

  void Close() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window_, False, NoEventMask, &event);
    XFlush(display_);
  }

  void MovePointer(int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window_, root_, x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    XSync(display_, False);
  }

  void Click() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
  }

 private:
  bool WaitForEvents(int ms) {
    pollfd ready{ConnectionNumber(display_), POLLIN, 0};
    return poll(&ready, 1, ms) == 1;
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  Window window_ = 0;
  int damageEvent_ = 0;
};

// Waits up to the timeout for pid to end; kills it if it does not.
bool Reap(pid_t pid) {
  for (int waited = 0; waited < kTimeoutMs; ++waited) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    usleep(1000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return false;
}

int Startup(char** argv) {
  Watcher watcher;
  int output = -1;
  const int64_t startNs = NowNs();
  const pid_t pid = Start(argv, &output);
  int64_t mappedNs = 0, paintedNs = 0;
  watcher.WaitForPaint(&mappedNs, &paintedNs);
  const long peakKib = PeakRssKib(pid);
  watcher.Close();
  if (!Reap(pid)) Fail(std::string(argv[0]) + " did not close on WM_DELETE_WINDOW");
  std::printf("%.3f %.3f %ld\n", Ms(mappedNs - startNs), Ms(paintedNs - startNs), peakKib);
  return 0;
}

// Waits for the exit of pid, and for the client's report on output, in
// whichever order they come.
void WaitForExitAndClient(pid_t pid, int output, int64_t* exitedNs, int64_t* clientNs) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) Fail("pidfd_open");
  pollfd ready[2] = {{pidfd, POLLIN, 0}, {output, POLLIN, 0}};
  *exitedNs = *clientNs = 0;
  while (*exitedNs == 0 || *clientNs == 0) {
    if (poll(ready, 2, kTimeoutMs) <= 0) Fail("the program neither exited nor started the client");
    const int64_t now = NowNs();
    if (*exitedNs == 0 && ready[0].revents != 0) {
      *exitedNs = now;
      ready[0].fd = -1;
    }
    if (*clientNs == 0 && ready[1].revents != 0) {
      *clientNs = ReadClientMain(output);
      ready[1].fd = -1;
    }
  }
  close(pidfd);
  waitpid(pid, nullptr, 0);
}

int Connect(int x, int y, char** argv) {
  Watcher watcher;
  int output = -1;
  const pid_t pid = Start(argv, &output);
  int64_t mappedNs = 0, paintedNs = 0;
  watcher.WaitForPaint(&mappedNs, &paintedNs);
  watcher.MovePointer(x, y);
  usleep(50'000);  // the program has seen the pointer arrive
  const int64_t clickNs = NowNs();
  watcher.Click();
  int64_t exitedNs = 0, clientNs = 0;
  WaitForExitAndClient(pid, output, &exitedNs, &clientNs);
  std::printf("%.3f %.3f\n", Ms(clientNs - clickNs), Ms(exitedNs - clickNs));
  return 0;
}

int Spawn(char* client) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) Fail("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  char* argv[] = {client, nullptr};
  pid_t pid = 0;
  const int64_t spawnNs = NowNs();
  if (posix_spawn(&pid, client, &actions, nullptr, argv, environ) != 0) Fail("posix_spawn");
  close(pipeEnds[1]);
  const int64_t clientNs = ReadClientMain(pipeEnds[0]);
  waitpid(pid, nullptr, 0);
  posix_spawn_file_actions_destroy(&actions);
  std::printf("%.3f\n", Ms(clientNs - spawnNs));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "startup" && argc > 2) return Startup(argv + 2);
  if (mode == "connect" && argc > 4)
    return Connect(std::atoi(argv[2]), std::atoi(argv[3]), argv + 4);
  if (mode == "spawn" && argc == 3) return Spawn(argv[2]);
  std::fprintf(stderr,
               "usage: probe startup PROGRAM [ARGS...]\n"
               "       probe connect X Y PROGRAM [ARGS...]\n"
               "       probe spawn CLIENT\n");
  return 2;
}
