#pragma once

// Past a file size limit the system stops the process with a signal by
// default, and the records of a download would be lost with it. After this
// the write fails instead, and the user is told why.
void letWritesFailAtFileSizeLimit();
