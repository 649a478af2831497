# The two set-up commands of the README: `make demo` and `make test`. Both install what
# is missing first.

JOBS ?= 2
MAKEFLAGS += --no-print-directory

.PHONY: all deps build media test demo clean

all: build

deps:
	@tools/deps.sh

build: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

media: build

# The i386 label's emulation is set up first; where the machine refuses it, the other
# labels still run and the i386 label fails, saying why.
test: build
	-tools/setup-i386.sh
	cd build/win64 && ctest --output-on-failure -j $(JOBS)

demo: build
	tools/demo.sh

clean:
	rm -rf build
