<settings>
	<database><d i='contrast'><fb00>9</fb00></d></database>
</settings>
