// WindowOptions: the "window" key of app.qvex: the main window's size, its limits, whether it
// can be resized, starts maximized and is remembered. Any thread after construction (a value).
#ifndef QVEXDESK_APP_WINDOW_OPTIONS_H_
#define QVEXDESK_APP_WINDOW_OPTIONS_H_

class ProjectFile;

class WindowOptions {
 public:
  // The window of a project that says nothing.
  static constexpr int kDefaultWidth = 800;
  static constexpr int kDefaultHeight = 600;
  // Smaller is unusable, larger than any screen X11 draws.
  static constexpr int kSmallestSide = 100;
  static constexpr int kLargestSide = 16384;

  // Reads "window"; a value of the wrong type or out of range is reported to `file` and
  // ignored (the default stands).
  static WindowOptions From(const ProjectFile& file);

  int width() const { return width_; }
  int height() const { return height_; }
  // 0: no limit.
  int min_width() const { return min_width_; }
  int min_height() const { return min_height_; }
  bool resizable() const { return resizable_; }
  bool maximized() const { return maximized_; }
  // Whether the size and maximized state at close come back (with an id).
  bool remember() const { return remember_; }

 private:
  int width_ = kDefaultWidth;
  int height_ = kDefaultHeight;
  int min_width_ = 0;
  int min_height_ = 0;
  bool resizable_ = true;
  bool maximized_ = false;
  bool remember_ = true;
};

#endif  // QVEXDESK_APP_WINDOW_OPTIONS_H_
