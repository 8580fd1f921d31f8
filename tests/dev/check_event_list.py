"""Reads an event-list reply as any XML reader would and prints it back in a
plain form: the status, one line per event item in order (its event word,
its value text, and the elements that follow the value inside the item),
then the elements that follow the event list in the task."""
import sys
import xml.etree.ElementTree as ET


def main(path):
    task = ET.parse(path).getroot()
    assert task.tag == "task", task.tag
    print("status=" + task.find("reportstatus/status").text)
    children = list(task)
    events = task.find("reporteventlist")
    for item in events:
        assert item.tag == "eventitem", item.tag
        parts = [item.findtext("event"), "value=" + (item.findtext("value") or "")]
        extra = [child for child in item if child.tag not in ("event", "value")]
        for child in extra:
            parts.append("xml=" + child.tag + ":" + str(len(list(child))))
        print(" ".join(parts))
    after = children[children.index(events) + 1:]
    print("after=" + ",".join(child.tag for child in after))


if __name__ == "__main__":
    main(sys.argv[1])
