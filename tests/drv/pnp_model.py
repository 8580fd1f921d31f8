"""The plug-and-play list rule as a model, written from the design's words, for the driver's plug-and-play
tests: which devices of each list the driver keeps for the front end, and the flatbed device file it follows.

    pnp_model.py < CASE.json

CASE: {"type": configured flatbed type ("" for none), "file": configured flatbed device file, "model": the
flatbed unit's model, "lists": [[[pnp, model, devicetype, devicefilename], ...], ...]} applied in order.
Prints one line per list, "kept" and the device files kept, then "file" and the flatbed file at the end."""
import json
import sys


class Model:
    def __init__(self, case):
        self.type = case["type"]
        self.file = case["file"]
        self.model = case["model"]
        self.removed = False

    def added_or_removed(self, pnp, model, devfile):
        """The rule both flatbed types share for "removed" and "added"; None for another pnp."""
        if pnp == "removed":
            if self.file and devfile == self.file:
                self.file = ""
                self.removed = True
            return True
        if pnp == "added":
            if self.file and devfile == self.file and model == self.model:
                return False
            if not self.file or self.removed:
                if model == self.model and not self.file:
                    self.file = devfile
                    self.removed = False
            return True
        return None

    def keep(self, pnp, model, devtype, devfile):
        if not self.type:
            return True
        if self.type == "flatbedintegrated":
            verdict = self.added_or_removed(pnp, model, devfile)
            return verdict if verdict is not None else devtype != "flatbedintegrated"
        if self.type == "flatbedaccessory":
            if devtype == "flatbedintegrated":
                return False
            verdict = self.added_or_removed(pnp, model, devfile)
            return bool(verdict)
        return False


def main():
    case = json.load(sys.stdin)
    model = Model(case)
    for devices in case["lists"]:
        print(" ".join(["kept"] + [device[3] for device in devices if model.keep(*device)]))
    print("file " + model.file)


if __name__ == "__main__":
    main()
