# Installation layout and the Debian package (filled in with the packaging stage).
