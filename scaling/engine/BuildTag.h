// The namespace tag of one build. Every build compiles the engine templates, their inline helpers
// and the arithmetic it borrows from other builds into an inline namespace named by this tag, so
// no two builds share a symbol: each Build*.cpp defines the tag before its first include, and a
// build compiled twice with different code generation keeps two separate copies. Other users of
// these headers (tests) get the tag below.
#pragma once

#ifndef TRELVIX_SCALING_BUILD_TAG
#define TRELVIX_SCALING_BUILD_TAG unbuilt
#endif
