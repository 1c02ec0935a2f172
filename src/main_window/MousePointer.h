#pragma once

// The application-wide mouse pointer: the hourglass while a job or a longer command runs, the
// default otherwise. Setting it is absolute, not nested: Default always brings the normal arrow
// back.
namespace MousePointer {
enum Shape { Default = 0, Hourglass = 11 };
void set(Shape shape);
Shape current();
} // namespace MousePointer
