// The desktop shell's "open" and "explore": opening a document, web page or
// folder with the user's program for it. Tests put a recorder in its place.
#pragma once

#include <QString>

namespace kelp {

class ShellServices {
  public:
    virtual ~ShellServices() = default;
    // Opens `target` (a file, relative to `workDir` when not absolute, or a
    // web address) with its associated program.
    virtual bool Open(const QString& target, const QString& workDir) = 0;
    // Shows `folder` in the file browser.
    virtual bool Explore(const QString& folder) = 0;
};

// The real shell: xdg-open through QDesktopServices.
class DesktopShell : public ShellServices {
  public:
    bool Open(const QString& target, const QString& workDir) override;
    bool Explore(const QString& folder) override;
};

}  // namespace kelp
